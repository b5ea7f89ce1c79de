#include "batch.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct AllSelected : BatchView
{
    QStringList entries;
    QString sourceText;
    QString destinationText;
    bool checkdirOn = true;
    QString program;

    int count() const override { return int(entries.size()); }
    bool selected(int) const override { return true; }
    QString text(int i) const override { return entries.at(i); }
    QString source() const override { return sourceText; }
    QString destination() const override { return destinationText; }
    bool checkdir() const override { return checkdirOn; }
    QString programDirectory() const override { return program; }
};

} // namespace

// The whole way from the list to files on disk: real archives made with
// Info-ZIP zip, unpacked by the real pkunzip started by the batch.
class ExtractionEndToEndTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void unpacksEachArchiveIntoItsOwnFolder();
    void unpacksStraightIntoTheDestinationWhenUnchecked();
    void reportsAnArchiveThePkunzipCannotRead();

private:
    void writeFile(const QString &path, const QByteArray &content);
    void zip(const QString &archiveName, const QString &contentDirectory);
    QByteArray readFile(const QString &path);

    std::unique_ptr<QTemporaryDir> root;
    AllSelected view;
};

void ExtractionEndToEndTest::initTestCase()
{
    if (QStandardPaths::findExecutable(QStringLiteral("zip")).isEmpty())
        QSKIP("Info-ZIP zip is not installed");
}

void ExtractionEndToEndTest::init()
{
    root = std::make_unique<QTemporaryDir>();
    QVERIFY(root->isValid());
    QDir dir(root->path());
    QVERIFY(dir.mkdir("program") && dir.mkdir("roms") && dir.mkdir("games") &&
            dir.mkdir("content"));
    QVERIFY(QFile::link(QStringLiteral(VRILLO_PKUNZIP), root->filePath("program/pkunzip")));
    view = AllSelected();
    view.sourceText = root->filePath("roms");
    view.destinationText = root->filePath("games");
    view.program = root->filePath("program");
}

void ExtractionEndToEndTest::writeFile(const QString &path, const QByteArray &content)
{
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(content), content.size());
}

QByteArray ExtractionEndToEndTest::readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

void ExtractionEndToEndTest::zip(const QString &archiveName, const QString &contentDirectory)
{
    QProcess zip;
    zip.setWorkingDirectory(contentDirectory);
    zip.start("zip", {"-q", "-r", view.sourceText + "/" + archiveName, "."});
    QVERIFY(zip.waitForFinished());
    QCOMPARE(zip.exitCode(), 0);
}

void ExtractionEndToEndTest::unpacksEachArchiveIntoItsOwnFolder()
{
    writeFile(root->filePath("content/pacman/pacman.6e"), "PAC-MAN ROM");
    writeFile(root->filePath("content/pacman/sound/82s126.1m"), QByteArray(3000, 'x'));
    writeFile(root->filePath("content/neogeo/sp-s2.sp1"), "BIOS");
    zip("PACMAN.ZIP", root->filePath("content/pacman"));
    zip("NEO GEO CUP.ZIP", root->filePath("content/neogeo"));
    view.entries = QStringList({"PACMAN.ZIP", "NEO GEO CUP.ZIP"});

    const BatchResult result = runBatch(view);

    QVERIFY(!result.stoppedBy);
    QVERIFY(result.failedExtractions.isEmpty());
    QCOMPARE(readFile(view.destinationText + "/PACMAN/pacman.6e"), QByteArray("PAC-MAN ROM"));
    QCOMPARE(readFile(view.destinationText + "/PACMAN/sound/82s126.1m"), QByteArray(3000, 'x'));
    QCOMPARE(readFile(view.destinationText + "/NEO GEO/sp-s2.sp1"), QByteArray("BIOS"));
}

void ExtractionEndToEndTest::unpacksStraightIntoTheDestinationWhenUnchecked()
{
    writeFile(root->filePath("content/galaga/gg1-1.3p"), "GALAGA");
    zip("GALAGA.ZIP", root->filePath("content/galaga"));
    view.entries = QStringList({"GALAGA.ZIP"});
    view.checkdirOn = false;

    const BatchResult result = runBatch(view);

    QVERIFY(!result.stoppedBy);
    QVERIFY(result.failedExtractions.isEmpty());
    QCOMPARE(readFile(view.destinationText + "/gg1-1.3p"), QByteArray("GALAGA"));
}

void ExtractionEndToEndTest::reportsAnArchiveThePkunzipCannotRead()
{
    writeFile(view.sourceText + "/BROKEN.ZIP", "this is not a zip archive");
    writeFile(root->filePath("content/digdug/dd1a.1"), "DIGDUG");
    zip("DIGDUG.ZIP", root->filePath("content/digdug"));
    view.entries = QStringList({"BROKEN.ZIP", "DIGDUG.ZIP"});

    const BatchResult result = runBatch(view);

    QVERIFY(!result.stoppedBy);
    QCOMPARE(result.failedExtractions.size(), 1);
    QCOMPARE(result.failedExtractions[0].archiveName, QStringLiteral("BROKEN.ZIP"));
    QCOMPARE(result.failedExtractions[0].end.kind, ChildEnd::Kind::Exited);
    QCOMPARE(result.failedExtractions[0].end.value, 2);
    QCOMPARE(readFile(view.destinationText + "/DIGDUG/dd1a.1"), QByteArray("DIGDUG"));
}

QTEST_GUILESS_MAIN(ExtractionEndToEndTest)
#include "extractionendtoendtest.moc"
