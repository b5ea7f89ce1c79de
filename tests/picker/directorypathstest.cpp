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
    void childPathJoinsWithOneSeparator_data();
    void childPathJoinsWithOneSeparator();
    void listsOnlyDirectoriesSortedWithoutCase();
    void unreadableDirectoryGivesItsFailure_data();
    void unreadableDirectoryGivesItsFailure();
    void mountPointsAreReadyDirectoriesOnce();
    void workingDirectoryLiesOnAListedMountPoint();
};

void DirectoryPathsTest::pathTextIsAbsoluteWithoutTrailingSeparator_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("text");
    QTest::newRow("root stays the root") << "/"
                                         << "/";
    QTest::newRow("trailing separator is dropped") << "/home/user/"
                                                   << "/home/user";
    QTest::newRow("doubled separators become one") << "//home//user"
                                                   << "/home/user";
    QTest::newRow("dot parts are resolved") << "/home/./user/../guest"
                                            << "/home/guest";
    QTest::newRow("going above the root stays at the root") << "/.."
                                                            << "/";
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
    QTest::newRow("one level") << "/roms" << QStringList{"/", "/roms"};
    QTest::newRow("three levels with trailing separator")
        << "/home/user/roms/" << QStringList{"/", "/home", "/home/user", "/home/user/roms"};
}

void DirectoryPathsTest::pathChainRunsFromTheRootDown()
{
    QFETCH(QString, path);
    QFETCH(QStringList, chain);
    QCOMPARE(pathChain(path), chain);
}

void DirectoryPathsTest::childPathJoinsWithOneSeparator_data()
{
    QTest::addColumn<QString>("directory");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("path");
    QTest::newRow("inside the root") << "/"
                                     << "roms"
                                     << "/roms";
    QTest::newRow("inside a directory") << "/home/user"
                                        << "roms"
                                        << "/home/user/roms";
    QTest::newRow("name with blanks") << "/games"
                                      << "Pac Man"
                                      << "/games/Pac Man";
}

void DirectoryPathsTest::childPathJoinsWithOneSeparator()
{
    QFETCH(QString, directory);
    QFETCH(QString, name);
    QFETCH(QString, path);
    QCOMPARE(childPath(directory, name), path);
}

void DirectoryPathsTest::listsOnlyDirectoriesSortedWithoutCase()
{
    QTemporaryDir fixture;
    QVERIFY(fixture.isValid());
    const QDir root(fixture.path());
    for (const char *name : {"zeta", "Alpha", "beta", ".hidden", "àccento"})
        QVERIFY(root.mkdir(QString::fromUtf8(name)));
    QFile file(root.filePath("PACMAN.ZIP"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QVERIFY(QFile::link(root.filePath("zeta"), root.filePath("link to zeta")));
    QVERIFY(QFile::link(root.filePath("PACMAN.ZIP"), root.filePath("link to a file")));
    QVERIFY(QFile::link(root.filePath("gone"), root.filePath("dangling link")));

    const Subdirectories listing = listSubdirectories(fixture.path());

    QVERIFY(!listing.failure);
    QCOMPARE(listing.names,
             (QStringList{"Alpha", "beta", "link to zeta", "zeta", QString::fromUtf8("àccento")}));
}

void DirectoryPathsTest::unreadableDirectoryGivesItsFailure_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("makeFile");
    QTest::addColumn<int>("number");
    QTest::newRow("missing directory") << "gone" << false << ENOENT;
    QTest::newRow("regular file") << "PACMAN.ZIP" << true << ENOTDIR;
}

void DirectoryPathsTest::unreadableDirectoryGivesItsFailure()
{
    QFETCH(QString, name);
    QFETCH(bool, makeFile);
    QFETCH(int, number);
    QTemporaryDir fixture;
    QVERIFY(fixture.isValid());
    const QString path = QDir(fixture.path()).filePath(name);
    if (makeFile) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }

    const Subdirectories listing = listSubdirectories(path);

    QVERIFY(listing.failure);
    QVERIFY(listing.names.isEmpty());
    QCOMPARE(listing.failure->number, number);
    QCOMPARE(listing.failure->operation, "Impossibile leggere la directory " + path);
    QCOMPARE(listing.failure->text, Failure::fromErrno(QString(), number).text);
}

void DirectoryPathsTest::mountPointsAreReadyDirectoriesOnce()
{
    const QStringList mountPoints = readyMountPoints();

    QVERIFY(!mountPoints.isEmpty());
    QStringList sortedOnce = mountPoints;
    sortedOnce.sort();
    sortedOnce.removeDuplicates();
    QCOMPARE(mountPoints, sortedOnce);
    for (const QString &mountPoint : mountPoints) {
        QCOMPARE(pathText(mountPoint), mountPoint);
        QVERIFY2(QFileInfo(mountPoint).isDir(), qPrintable(mountPoint));
    }
}

void DirectoryPathsTest::workingDirectoryLiesOnAListedMountPoint()
{
    const QString mountPoint = mountPointHolding(QDir::currentPath());

    QVERIFY(readyMountPoints().contains(mountPoint));
    QVERIFY(mountPoint == "/" || QDir::currentPath().startsWith(mountPoint + "/") ||
            QDir::currentPath() == mountPoint);
}

QTEST_APPLESS_MAIN(DirectoryPathsTest)
#include "directorypathstest.moc"
