#include "directorypaths.h"
#include "drives.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>

class DirectoryPathsTest : public QObject
{
    Q_OBJECT

private slots:
    void pathTextIsAbsoluteWithoutTrailingSeparator_data();
    void pathTextIsAbsoluteWithoutTrailingSeparator();
    void pathChainRunsFromTheRootDown_data();
    void pathChainRunsFromTheRootDown();
    void subdirectories_data();
    void subdirectories();
    void mountPointsAreReadyDirectoriesOnceAndHoldTheWorkingDirectory();
};

void DirectoryPathsTest::pathTextIsAbsoluteWithoutTrailingSeparator_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("text");
    QTest::newRow("root stays the root") << "/" << QStringLiteral("/");
    QTest::newRow("trailing separator is dropped") << "/home/user/" << QStringLiteral("/home/user");
    QTest::newRow("doubled separators become one")
        << "//home//user" << QStringLiteral("/home/user");
    QTest::newRow("dot parts are resolved")
        << "/home/./user/../guest" << QStringLiteral("/home/guest");
    QTest::newRow("going above the root stays at the root") << "/.." << QStringLiteral("/");
    QTest::newRow("relative path is taken from the working directory")
        << "roms" << QDir::currentPath() + "/roms";
}

void DirectoryPathsTest::pathTextIsAbsoluteWithoutTrailingSeparator()
{
    QFETCH(QString, path);
    QFETCH(QString, text);
    QCOMPARE(pathText(path), text);
}

void DirectoryPathsTest::pathChainRunsFromTheRootDown_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QStringList>("chain");
    QTest::newRow("root alone") << "/" << QStringList{"/"};
    QTest::newRow("three levels with trailing separator")
        << "/home/user/roms/" << QStringList{"/", "/home", "/home/user", "/home/user/roms"};
}

void DirectoryPathsTest::pathChainRunsFromTheRootDown()
{
    QFETCH(QString, path);
    QFETCH(QStringList, chain);
    QCOMPARE(pathChain(path), chain);
}

void DirectoryPathsTest::subdirectories_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<int>("errorNumber");
    QTest::newRow("only directories and links to them, sorted without case")
        << ""
        << QStringList{"Alpha", "beta", "Gamma", "link to zeta", "zeta", QStringLiteral("àccento")}
        << 0;
    QTest::newRow("missing directory") << "/gone" << QStringList{} << ENOENT;
    QTest::newRow("regular file") << "/PACMAN.ZIP" << QStringList{} << ENOTDIR;
}

void DirectoryPathsTest::subdirectories()
{
    QFETCH(QString, name);
    QFETCH(QStringList, names);
    QFETCH(int, errorNumber);
    QTemporaryDir fixture;
    const QDir root(fixture.path());
    for (const char *directory : {"zeta", "Alpha", "beta", "Gamma", ".hidden", "àccento"})
        QVERIFY(root.mkdir(directory));
    QVERIFY(QFile(root.filePath("PACMAN.ZIP")).open(QIODevice::WriteOnly));
    QVERIFY(QFile::link(root.filePath("zeta"), root.filePath("link to zeta")));
    QVERIFY(QFile::link(root.filePath("PACMAN.ZIP"), root.filePath("link to a file")));
    QVERIFY(QFile::link(root.filePath("gone"), root.filePath("dangling link")));
    const QString path = fixture.path() + name;

    const Subdirectories listing = listSubdirectories(path);

    QCOMPARE(listing.names, names);
    QCOMPARE(listing.failure ? listing.failure->number : 0, errorNumber);
    if (listing.failure)
        QCOMPARE(listing.failure->operation, "Impossibile leggere la directory " + path);
}

void DirectoryPathsTest::mountPointsAreReadyDirectoriesOnceAndHoldTheWorkingDirectory()
{
    const QStringList mountPoints = readyMountPoints();

    QStringList sortedOnce = mountPoints;
    sortedOnce.sort();
    sortedOnce.removeDuplicates();
    QCOMPARE(mountPoints, sortedOnce);
    for (const QString &mountPoint : mountPoints) {
        QCOMPARE(pathText(mountPoint), mountPoint);
        QVERIFY2(QFileInfo(mountPoint).isDir(), qPrintable(mountPoint));
    }
    const QString holding = mountPointHolding(QDir::currentPath());
    QVERIFY(mountPoints.contains(holding));
    QVERIFY(holding == "/" || QDir::currentPath().startsWith(holding + "/") ||
            QDir::currentPath() == holding);
}

QTEST_APPLESS_MAIN(DirectoryPathsTest)
#include "directorypathstest.moc"
