// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "foldername.h"

#include <QTest>

class FolderNameTest : public QObject
{
    Q_OBJECT

private slots:
    void derivesFolderName_data();
    void derivesFolderName();
    void failsBelowFourCharacters_data();
    void failsBelowFourCharacters();
};

void FolderNameTest::derivesFolderName_data()
{
    QTest::addColumn<QByteArray>("archiveName");
    QTest::addColumn<QByteArray>("folderName");

    // The source is UTF-8, so every literal is a name's bytes; the last rows
    // are not valid UTF-8, as names from old media often are not.
    const auto row = [](const char *name, const QByteArray &archiveName,
                        const QByteArray &folderName) {
        QTest::newRow(name) << archiveName << folderName;
    };
    row("10 characters lose the last four", "PACMAN.ZIP", "PACMAN");
    row("11 characters lose the last four", "ABCDEFG.ZIP", "ABCDEFG");
    row("12 characters keep the first eight", "ABCDEFGH.ZIP", "ABCDEFGH");
    row("long names share their first eight", "STREETFIGHTER2.ZIP", "STREETFI");
    row("a blank inside is kept", "Pac Man.zip", "Pac Man");
    row("a blank left at the end is removed", "NEO GEO CUP.ZIP", "NEO GEO");
    row("4 characters give an empty name", ".ZIP", "");
    row("only blanks left give an empty name", "    .ZIP", "");
    row("blanks at the start are kept", "  AB.ZIP", "  AB");
    row("letter case is kept", "pacMan.Zip", "pacMan");
    row("the extension is not looked at", "PACMANZIP", "PACMA");
    row("accented letters count as one each", "ÀÈÌÒÙàèìòù.zip", "ÀÈÌÒÙàèì");
    row("letters beyond 16 bits count as one each and are kept whole",
        "𝔄𝔅𝔆𝔇𝔈𝔉𝔊𝔋𝔌.ZIP", "𝔄𝔅𝔆𝔇𝔈𝔉𝔊𝔋");
    row("a stray byte counts as one and is kept", "caf\xe9.zip", "caf\xe9");
    row("stray bytes among letters count one each", "citt\xc3\xa0\xe9\xe8.zip",
        "citt\xc3\xa0\xe9\xe8");
    row("each byte of a cut sequence counts as one", "\xe2\x82\xe2\x82\xe2\x82\xe2\x82\xe2\x82.ZIP",
        "\xe2\x82\xe2\x82\xe2\x82\xe2\x82");
}

void FolderNameTest::derivesFolderName()
{
    QFETCH(QByteArray, archiveName);
    QFETCH(QByteArray, folderName);

    const auto derived = deriveFolderName(archiveName);

    QVERIFY(derived);
    QCOMPARE(*derived, folderName);
}

void FolderNameTest::failsBelowFourCharacters_data()
{
    QTest::addColumn<QString>("archiveName");

    QTest::newRow("3 characters") << "ABC";
    QTest::newRow("an empty entry") << "";
    QTest::newRow("3 letters beyond 16 bits") << QStringLiteral("𝔄𝔅𝔆");
}

void FolderNameTest::failsBelowFourCharacters()
{
    QFETCH(QString, archiveName);

    const auto derived = deriveFolderName(archiveName.toUtf8());

    QVERIFY(!derived);
    QCOMPARE(derived.failure().kind, FailureKind::NameTooShortForFolder);
    QVERIFY(derived.failure().operation.contains('"' + archiveName + '"'));
}

QTEST_APPLESS_MAIN(FolderNameTest)
#include "foldernametest.moc"
