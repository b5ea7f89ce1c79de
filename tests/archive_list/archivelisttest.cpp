#include "archivelist.h"
#include "directoryfixture.h"

#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cerrno>

using namespace fixture;

Q_DECLARE_METATYPE(fixture::Kind)

class ArchiveListTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void onlyRegularFilesWithArchiveNamesAreListed_data();
    void onlyRegularFilesWithArchiveNamesAreListed();
    void directoryTexts_data();
    void directoryTexts();
    void archivesKeepReaddirOrderUnsorted();

private:
    QTemporaryDir directory;
};

void ArchiveListTest::initTestCase()
{
    QVERIFY(make(directory.path(), QStringLiteral("GAME.ZIP")));
}

void ArchiveListTest::onlyRegularFilesWithArchiveNamesAreListed_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<bool>("listed");
    QTest::newRow("upper case") << "GAME.ZIP" << Kind::File << true;
    QTest::newRow("lower case") << "game.zip" << Kind::File << true;
    QTest::newRow("mixed case") << "Game.Zip" << Kind::File << true;
    QTest::newRow("several dots") << "game.v1.2.zip" << Kind::File << true;
    QTest::newRow("accented name") << QStringLiteral("Pokémon Rosso.zip") << Kind::File << true;
    QTest::newRow("japanese name") << QStringLiteral("ドラゴン.ZIP") << Kind::File << true;
    QTest::newRow("other extension") << "readme.txt" << Kind::File << false;
    QTest::newRow("zip not at the end") << "game.zip.bak" << Kind::File << false;
    QTest::newRow("longer extension") << "game.zipx" << Kind::File << false;
    QTest::newRow("no dot before zip") << "gamezip" << Kind::File << false;
    QTest::newRow("hidden archive") << ".x.zip" << Kind::File << false;
    QTest::newRow("name that is only the extension") << ".zip" << Kind::File << false;
    QTest::newRow("shorter than the extension") << "zip" << Kind::File << false;
    QTest::newRow("directory named like an archive") << "old.zip" << Kind::Directory << false;
    QTest::newRow("link to a file") << "alias.zip" << Kind::LinkToFile << true;
    QTest::newRow("link to a link to a file") << "alias.zip" << Kind::LinkToLink << true;
    QTest::newRow("link to a directory") << "folder.zip" << Kind::LinkToDirectory << false;
    QTest::newRow("link to nowhere") << "broken.zip" << Kind::BrokenLink << false;
    QTest::newRow("fifo") << "pipe.zip" << Kind::Fifo << false;
}

void ArchiveListTest::onlyRegularFilesWithArchiveNamesAreListed()
{
    QFETCH(QString, name);
    QFETCH(Kind, kind);
    QFETCH(bool, listed);
    QTemporaryDir entries;
    QVERIFY(make(entries.path(), name, kind));

    const ArchiveListing listing = listZipArchives(entries.path());

    QVERIFY(!listing.failure);
    QCOMPARE(listing.names, listed ? QStringList{name} : QStringList{});
}

void ArchiveListTest::directoryTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<int>("errorNumber");
    const QStringList rootArchives =
        QDir(QStringLiteral("/")).entryList({QStringLiteral("*.zip")}, QDir::Files, QDir::Unsorted);
    const QString path = directory.path();
    QTest::newRow("root, searched as //*.zip") << "/" << rootArchives << 0;
    QTest::newRow("empty text, searched as /*.zip") << "" << rootArchives << 0;
    QTest::newRow("trailing separator names the same directory")
        << path + "/" << QStringList{"GAME.ZIP"} << 0;
    QTest::newRow("missing directory") << path + "/missing" << QStringList{} << ENOENT;
    QTest::newRow("text naming a file") << path + "/GAME.ZIP" << QStringList{} << ENOTDIR;
    QTest::newRow("blanks around the text are kept") << " " + path << QStringList{} << ENOENT;
}

void ArchiveListTest::directoryTexts()
{
    QFETCH(QString, text);
    QFETCH(QStringList, names);
    QFETCH(int, errorNumber);

    const ArchiveListing listing = listZipArchives(text);

    QCOMPARE(listing.names, names);
    QCOMPARE(listing.failure ? listing.failure->number : 0, errorNumber);
    if (listing.failure)
        QCOMPARE(listing.failure->operation, "Impossibile leggere la directory " + text);
}

void ArchiveListTest::archivesKeepReaddirOrderUnsorted()
{
    QTemporaryDir many;
    QStringList archives;
    for (int i = 0; i < 20; ++i)
        archives << QStringLiteral("ROM%1.zip").arg(i, 2, 10, QLatin1Char('0'));
    QVERIFY(makeFiles(many.path(), archives));
    const QStringList readdirOrder = inReaddirOrder(many.path(), archives);
    if (std::is_sorted(readdirOrder.begin(), readdirOrder.end()))
        QSKIP("this file system yields the names sorted, so sorting would go unnoticed");

    QCOMPARE(listZipArchives(many.path()).names, readdirOrder);
}

QTEST_GUILESS_MAIN(ArchiveListTest)
#include "archivelisttest.moc"
