// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "archivelist.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cerrno>

#include <sys/stat.h>

class ArchiveListTest : public QObject
{
    Q_OBJECT

private slots:
    void archiveFileNames_data();
    void archiveFileNames();
    void directoryTexts_data();
    void directoryTexts();
    void archivesKeepReaddirOrderUnsorted();
};

static QStringList shown(const QByteArrayList &names)
{
    QStringList texts;
    for (const QByteArray &name : names)
        texts << QFile::decodeName(name);
    return texts;
}

static bool makeFile(const QString &path)
{
    return QFile(path).open(QIODevice::WriteOnly);
}

void ArchiveListTest::archiveFileNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("listed");
    QTest::newRow("mixed case") << "Game.Zip" << true;
    QTest::newRow("several dots") << "game.v1.2.zip" << true;
    QTest::newRow("accented name, upper case") << QStringLiteral("POKÉMON ROSSO.ZIP") << true;
    QTest::newRow("other extension") << "readme.txt" << false;
    QTest::newRow("zip not at the end") << "game.zip.bak" << false;
    QTest::newRow("longer extension") << "game.zipx" << false;
    QTest::newRow("no dot before zip") << "gamezip" << false;
    QTest::newRow("hidden archive") << ".x.zip" << false;
    QTest::newRow("shorter than the extension") << "zip" << false;
}

void ArchiveListTest::archiveFileNames()
{
    QFETCH(QString, name);
    QFETCH(bool, listed);
    QCOMPARE(isArchiveFileName(QFile::encodeName(name).toStdString()), listed);
}

void ArchiveListTest::directoryTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<int>("errorNumber");
    const QStringList rootArchives =
        QDir(QStringLiteral("/")).entryList({QStringLiteral("*.zip")}, QDir::Files, QDir::Unsorted);
    // Links count as what they lead to; a directory, a link to one, a link to
    // nowhere and a pipe are never listed, whatever their names.
    static QTemporaryDir directory;
    const QDir in(directory.path());
    QVERIFY(makeFile(in.filePath("GAME.ZIP")) && makeFile(in.filePath("target.bin")));
    QVERIFY(in.mkdir("old.zip") && in.mkdir("subdir"));
    QVERIFY(QFile::link("target.bin", in.filePath("alias.zip")));
    QVERIFY(QFile::link("alias.zip", in.filePath("chain.zip")));
    QVERIFY(QFile::link("subdir", in.filePath("folder.zip")));
    QVERIFY(QFile::link("nothing-here", in.filePath("broken.zip")));
    QVERIFY(mkfifo(QFile::encodeName(in.filePath("pipe.zip")).constData(), 0600) == 0);
    const QString path = directory.path();
    QTest::newRow("root, searched as //*.zip") << "/" << rootArchives << 0;
    QTest::newRow("empty text, searched as /*.zip") << "" << rootArchives << 0;
    QTest::newRow("regular files and links to them, after a trailing separator")
        << path + "/" << QStringList{"GAME.ZIP", "alias.zip", "chain.zip"} << 0;
    QTest::newRow("missing directory") << path + "/missing" << QStringList{} << ENOENT;
    QTest::newRow("text naming a file") << path + "/GAME.ZIP" << QStringList{} << ENOTDIR;
    QTest::newRow("blanks around the text are kept") << " " + path << QStringList{} << ENOENT;
}

void ArchiveListTest::directoryTexts()
{
    QFETCH(QString, text);
    QFETCH(QStringList, names);
    QFETCH(int, errorNumber);

    const Result<QByteArrayList> listing = listZipArchives(text);

    // In whatever order the directory yields them, checked on its own.
    QStringList listed = listing ? shown(*listing) : QStringList();
    listed.sort();
    names.sort();
    QCOMPARE(listed, names);
    QCOMPARE(listing.ok(), errorNumber == 0);
    if (!listing) {
        QVERIFY(listing.failure().isSystemError(errorNumber));
        QCOMPARE(listing.failure().operation, "Impossibile leggere la directory " + text);
    }
}

void ArchiveListTest::archivesKeepReaddirOrderUnsorted()
{
    QTemporaryDir many;
    for (int i = 0; i < 20; ++i)
        QVERIFY(
            makeFile(many.filePath(QStringLiteral("ROM%1.zip").arg(i, 2, 10, QLatin1Char('0')))));
    // Unsorted, the names come in the order the directory yields them.
    const QStringList readdirOrder = QDir(many.path()).entryList(QDir::Files, QDir::Unsorted);
    if (std::is_sorted(readdirOrder.begin(), readdirOrder.end()))
        QSKIP("this file system yields the names sorted, so sorting would go unnoticed");

    QCOMPARE(shown(*listZipArchives(many.path())), readdirOrder);
}

QTEST_GUILESS_MAIN(ArchiveListTest)
#include "archivelisttest.moc"
