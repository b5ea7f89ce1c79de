// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "zip/codepages/codepagedetector.h"

#include <QTest>

Q_DECLARE_METATYPE(codePages::CodePage)

using codePages::CodePage;

// Which code page an archive's names are taken to be in, from their bytes
// as each code page writes them.
class CodePagesTest : public QObject
{
    Q_OBJECT

private slots:
    void choosesFromAllTheNames_data();
    void choosesFromAllTheNames();
};

void CodePagesTest::choosesFromAllTheNames_data()
{
    QTest::addColumn<QByteArrayList>("names");
    QTest::addColumn<CodePage>("chosen");

    QTest::newRow("katakana whose second bytes are backslashes, kanji in folders")
        << QByteArrayList{"\x83\x5C\x83\x6A\x83\x62\x83\x4E.bin",
                          "\x95\x5C\x8E\x86/\x94\x5C\x97\xCD"}
        << CodePage::Cp932;
    QTest::newRow("German valid as Shift-JIS: Ölfässer, Größe")
        << QByteArrayList{"\x99lf\x84sser.txt", "Gr\x94\xE1"
                                                "e.txt"}
        << CodePage::Cp437;
    QTest::newRow("French: élève, crème brûlée")
        << QByteArrayList{"\x82l\x8Ave", "cr\x8Ame br\x96l\x82"
                                         "e"}
        << CodePage::Cp437;
    QTest::newRow("Russian: Привет, ОТЧЕТ.DOC")
        << QByteArrayList{"\x8F\xE0\xA8\xA2\xA5\xE2.txt", "\x8E\x92\x97\x85\x92.DOC"}
        << CodePage::Cp866;
    QTest::newRow("two kanji, as valid read as Cyrillic capitals: 東京")
        << QByteArrayList{"\x93\x8C\x8B\x9E.jpg"} << CodePage::Cp932;
    QTest::newRow("Russian valid as Shift-JIS: Игра")
        << QByteArrayList{"\x88\xA3\xE0\xA0.exe"} << CodePage::Cp866;
    QTest::newRow("one name no Shift-JIS among Japanese ones")
        << QByteArrayList{"\x83\x65\x83\x58\x83\x67.txt", "Caf\x82.txt"} << CodePage::Cp437;
    QTest::newRow("Latin-1 Öl: one half-width katakana beside Latin letters")
        << QByteArrayList{"\xD6l.txt"} << CodePage::Cp437;
    QTest::newRow("no name to go by") << QByteArrayList{} << CodePage::Cp437;
}

void CodePagesTest::choosesFromAllTheNames()
{
    QFETCH(QByteArrayList, names);
    QFETCH(CodePage, chosen);

    codePages::CodePageDetector detector;
    for (const QByteArray &name : names)
        detector.add(std::string_view(name.constData(), static_cast<size_t>(name.size())));
    QCOMPARE(detector.choice(), chosen);
}

QTEST_GUILESS_MAIN(CodePagesTest)
#include "codepagestest.moc"
