#include "batch.h"
#include "extractionfixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

// The whole way from the list to files on disk: real archives made with
// Info-ZIP zip, unpacked by the real pkunzip started by the batch.
class ExtractionEndToEndTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void unpacksRealArchives_data();
    void unpacksRealArchives();
};

void ExtractionEndToEndTest::initTestCase()
{
    if (QStandardPaths::findExecutable("zip").isEmpty())
        QSKIP("Info-ZIP zip is not installed");
}

// Each member holds its own name a few hundred times, so that zip deflates it.
static QByteArray contentOf(const QString &member)
{
    return QFile::encodeName(member).repeated(300);
}

// Writes the members under content/<archive> and zips them into the source.
static void makeArchive(const ExtractionFixture &fixture, const QString &archiveName,
                        const QStringList &members)
{
    const QString content = fixture.root() + "/content/" + archiveName;
    for (const QString &member : members) {
        QVERIFY(QDir().mkpath(QFileInfo(content + '/' + member).path()));
        QFile file(content + '/' + member);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.write(contentOf(QFileInfo(member).fileName())) > 0);
    }
    QProcess zip;
    zip.setWorkingDirectory(content);
    zip.start("zip", {"-q", "-r", fixture.source() + '/' + archiveName, "."});
    QVERIFY(zip.waitForFinished());
    QCOMPARE(zip.exitCode(), 0);
}

void ExtractionEndToEndTest::unpacksRealArchives_data()
{
    QTest::addColumn<bool>("checkdir");
    QTest::addColumn<QStringList>("files");

    QTest::newRow("a folder per archive")
        << true << QStringList({"PACMAN/pacman.6e", "PACMAN/sound/82s126.1m", "NEO GEO/sp-s2.sp1"});
    QTest::newRow("straight into the destination")
        << false << QStringList({"pacman.6e", "sound/82s126.1m", "sp-s2.sp1"});
}

void ExtractionEndToEndTest::unpacksRealArchives()
{
    QFETCH(bool, checkdir);
    QFETCH(QStringList, files);
    ExtractionFixture fixture{QStringLiteral(VRILLO_PKUNZIP)};
    QVERIFY(fixture.isValid());
    makeArchive(fixture, "PACMAN.ZIP", {"pacman.6e", "sound/82s126.1m"});
    makeArchive(fixture, "NEO GEO CUP.ZIP", {"sp-s2.sp1"});
    QFile broken(fixture.source() + "/BROKEN.ZIP");
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write("this is not a zip archive");
    broken.close();
    BatchRequest request =
        fixture.request({"BROKEN.ZIP", "PACMAN.ZIP", "NEO GEO CUP.ZIP"}, {0, 1, 2});
    request.folderPerArchive = checkdir;

    const BatchResult result = runBatch(request);

    QVERIFY(!result.stoppedBy);
    QCOMPARE(result.failedExtractions.size(), 1);
    QCOMPARE(result.failedExtractions[0].archiveName, "BROKEN.ZIP");
    QVERIFY(!result.failedExtractions[0].end.succeeded());
    for (const QString &path : files) {
        QFile file(fixture.destination() + '/' + path);
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(path));
        QCOMPARE(file.readAll(), contentOf(QFileInfo(path).fileName()));
    }
}

QTEST_GUILESS_MAIN(ExtractionEndToEndTest)
#include "extractionendtoendtest.moc"
