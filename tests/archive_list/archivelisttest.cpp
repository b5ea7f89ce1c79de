#include "archivelist.h"
#include "directoryfixture.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

using namespace fixture;

enum class EntryKind {
    RegularFile,
    Directory,
    LinkToFile,
    LinkToLinkToFile,
    LinkToDirectory,
    BrokenLink,
    LinkLoop,
    Fifo
};
Q_DECLARE_METATYPE(EntryKind)

static bool makeEntry(const QString &directory, const QString &name, EntryKind kind)
{
    const QString path = directory + QLatin1Char('/') + name;
    const QString targetFile = QStringLiteral("target.bin");
    const QString targetDirectory = QStringLiteral("subdir");
    switch (kind) {
    case EntryKind::RegularFile:
        return makeFile(path);
    case EntryKind::Directory:
        return makeDirectory(path);
    case EntryKind::LinkToFile:
        return makeFile(directory + QLatin1Char('/') + targetFile) && makeLink(targetFile, path);
    case EntryKind::LinkToLinkToFile:
        return makeFile(directory + QLatin1Char('/') + targetFile) &&
               makeLink(targetFile, directory + QStringLiteral("/middle.lnk")) &&
               makeLink(QStringLiteral("middle.lnk"), path);
    case EntryKind::LinkToDirectory:
        return makeDirectory(directory + QLatin1Char('/') + targetDirectory) &&
               makeLink(targetDirectory, path);
    case EntryKind::BrokenLink:
        return makeLink(QStringLiteral("nothing-here"), path);
    case EntryKind::LinkLoop:
        return makeLink(name, path);
    case EntryKind::Fifo:
        return mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
    }
    return false;
}

class ArchiveListTest : public QObject
{
    Q_OBJECT

private slots:
    void searchPatternKeepsTextUnchanged_data();
    void searchPatternKeepsTextUnchanged();
    void archiveFileNames_data();
    void archiveFileNames();
    void entryKinds_data();
    void entryKinds();
    void mixedDirectoryGivesArchivesInReaddirOrder();
    void manyArchivesKeepReaddirOrderUnsorted();
    void directoriesWithoutArchivesGiveNoNames_data();
    void directoriesWithoutArchivesGiveNoNames();
    void trailingSeparatorNamesTheSameDirectory();
    void rootTextListsTheRoot();
    void unreadableDirectoryGivesFailure_data();
    void unreadableDirectoryGivesFailure();
};

void ArchiveListTest::searchPatternKeepsTextUnchanged_data()
{
    QTest::addColumn<QString>("directoryText");
    QTest::addColumn<QString>("pattern");
    QTest::newRow("plain directory") << "/roms"
                                     << "/roms/*.zip";
    QTest::newRow("root doubles the separator") << "/"
                                                << "//*.zip";
    QTest::newRow("trailing separator is kept") << "/roms/"
                                                << "/roms//*.zip";
    QTest::newRow("empty text gives the bare wildcard") << ""
                                                        << "/*.zip";
    QTest::newRow("spaces are not trimmed") << " /roms "
                                            << " /roms /*.zip";
}

void ArchiveListTest::searchPatternKeepsTextUnchanged()
{
    QFETCH(QString, directoryText);
    QFETCH(QString, pattern);
    QCOMPARE(zipSearchPattern(directoryText), pattern);
}

void ArchiveListTest::archiveFileNames_data()
{
    QTest::addColumn<QByteArray>("fileName");
    QTest::addColumn<bool>("isArchive");
    QTest::newRow("upper case") << QByteArray("GAME.ZIP") << true;
    QTest::newRow("lower case") << QByteArray("game.zip") << true;
    QTest::newRow("mixed case") << QByteArray("Game.Zip") << true;
    QTest::newRow("utf-8 name") << QByteArray("Pok\xc3\xa9mon.zip") << true;
    QTest::newRow("several dots") << QByteArray("game.v1.2.zip") << true;
    QTest::newRow("other extension") << QByteArray("readme.txt") << false;
    QTest::newRow("zip not at the end") << QByteArray("game.zip.bak") << false;
    QTest::newRow("longer extension") << QByteArray("game.zipx") << false;
    QTest::newRow("no dot before zip") << QByteArray("gamezip") << false;
    QTest::newRow("hidden archive") << QByteArray(".x.zip") << false;
    QTest::newRow("name that is only the extension") << QByteArray(".zip") << false;
    QTest::newRow("shorter than the extension") << QByteArray("zip") << false;
    QTest::newRow("empty name") << QByteArray("") << false;
}

void ArchiveListTest::archiveFileNames()
{
    QFETCH(QByteArray, fileName);
    QFETCH(bool, isArchive);
    QCOMPARE(isArchiveFileName(std::string_view(fileName.constData(), fileName.size())), isArchive);
}

void ArchiveListTest::entryKinds_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<EntryKind>("kind");
    QTest::addColumn<bool>("listed");
    QTest::newRow("regular file") << "GAME.ZIP" << EntryKind::RegularFile << true;
    QTest::newRow("accented name")
        << QStringLiteral("Pokémon Rosso.zip") << EntryKind::RegularFile << true;
    QTest::newRow("japanese name")
        << QStringLiteral("ドラゴン.ZIP") << EntryKind::RegularFile << true;
    QTest::newRow("directory named like an archive") << "old.zip" << EntryKind::Directory << false;
    QTest::newRow("link to a file") << "alias.zip" << EntryKind::LinkToFile << true;
    QTest::newRow("link to a link to a file") << "alias.zip" << EntryKind::LinkToLinkToFile << true;
    QTest::newRow("link to a directory") << "folder.zip" << EntryKind::LinkToDirectory << false;
    QTest::newRow("link to nowhere") << "broken.zip" << EntryKind::BrokenLink << false;
    QTest::newRow("link to itself") << "loop.zip" << EntryKind::LinkLoop << false;
    QTest::newRow("fifo") << "pipe.zip" << EntryKind::Fifo << false;
}

void ArchiveListTest::entryKinds()
{
    QFETCH(QString, name);
    QFETCH(EntryKind, kind);
    QFETCH(bool, listed);
    QTemporaryDir directory;
    QVERIFY(makeEntry(directory.path(), name, kind));

    const ArchiveListing listing = listZipArchives(directory.path());

    QVERIFY(!listing.failure);
    QCOMPARE(listing.names, listed ? QStringList{name} : QStringList{});
}

void ArchiveListTest::mixedDirectoryGivesArchivesInReaddirOrder()
{
    QTemporaryDir directory;
    QVERIFY(makeMixedDirectory(directory.path()));

    const ArchiveListing listing = listZipArchives(directory.path());

    QVERIFY(!listing.failure);
    QCOMPARE(listing.names, inReaddirOrder(directory.path(), mixedArchives));
}

void ArchiveListTest::manyArchivesKeepReaddirOrderUnsorted()
{
    QTemporaryDir directory;
    QStringList archives;
    for (int i = 0; i < 20; ++i)
        archives << QStringLiteral("ROM%1.zip").arg(i, 2, 10, QLatin1Char('0'));
    QVERIFY(makeFiles(directory.path(), archives));
    const QStringList readdirOrder = inReaddirOrder(directory.path(), archives);
    if (std::is_sorted(readdirOrder.begin(), readdirOrder.end()))
        QSKIP("this file system yields the names sorted, so sorting would go unnoticed");

    QCOMPARE(listZipArchives(directory.path()).names, readdirOrder);
}

void ArchiveListTest::directoriesWithoutArchivesGiveNoNames_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::newRow("empty directory") << QStringList{};
    QTest::newRow("directory without archives") << QStringList{
        QStringLiteral("readme.txt"), QStringLiteral("game.7z"), QStringLiteral(".hidden.zip")};
}

void ArchiveListTest::directoriesWithoutArchivesGiveNoNames()
{
    QFETCH(QStringList, files);
    QTemporaryDir directory;
    QVERIFY(makeFiles(directory.path(), files));

    const ArchiveListing listing = listZipArchives(directory.path());

    QVERIFY(!listing.failure);
    QCOMPARE(listing.names, QStringList{});
}

void ArchiveListTest::trailingSeparatorNamesTheSameDirectory()
{
    QTemporaryDir directory;
    QVERIFY(makeMixedDirectory(directory.path()));

    const ArchiveListing listing = listZipArchives(directory.path() + QLatin1Char('/'));

    QVERIFY(!listing.failure);
    QCOMPARE(listing.names, inReaddirOrder(directory.path(), mixedArchives));
}

void ArchiveListTest::rootTextListsTheRoot()
{
    const QStringList rootArchives =
        QDir(QStringLiteral("/")).entryList({QStringLiteral("*.zip")}, QDir::Files, QDir::Unsorted);

    const ArchiveListing fromRoot = listZipArchives(QStringLiteral("/"));
    const ArchiveListing fromEmpty = listZipArchives(QString());

    QVERIFY(!fromRoot.failure);
    QVERIFY(!fromEmpty.failure);
    QCOMPARE(fromRoot.names, rootArchives);
    QCOMPARE(fromEmpty.names, rootArchives);
}

void ArchiveListTest::unreadableDirectoryGivesFailure_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("errorNumber");
    QTest::newRow("missing directory") << "missing" << ENOENT;
    QTest::newRow("text naming a file") << "GAME.ZIP" << ENOTDIR;
    QTest::newRow("directory without read permission") << "locked" << EACCES;
}

void ArchiveListTest::unreadableDirectoryGivesFailure()
{
    QFETCH(QString, name);
    QFETCH(int, errorNumber);
    QTemporaryDir parent;
    const QString path = parent.path() + QLatin1Char('/') + name;
    QVERIFY(makeFile(parent.path() + QStringLiteral("/GAME.ZIP")));
    if (errorNumber == EACCES) {
        if (geteuid() == 0)
            QSKIP("permission bits do not stop root");
        QVERIFY(makeDirectory(path));
        QVERIFY(makeFile(path + QStringLiteral("/inside.zip")));
        QVERIFY(QFile::setPermissions(path, QFileDevice::Permissions()));
    }

    const ArchiveListing listing = listZipArchives(path);

    if (errorNumber == EACCES)
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                        QFileDevice::ExeOwner);
    QVERIFY(listing.failure);
    QCOMPARE(listing.failure->number, errorNumber);
    QCOMPARE(listing.failure->operation,
             QStringLiteral("Impossibile leggere la directory ") + path);
    QCOMPARE(listing.names, QStringList{});
}

QTEST_GUILESS_MAIN(ArchiveListTest)
#include "archivelisttest.moc"
