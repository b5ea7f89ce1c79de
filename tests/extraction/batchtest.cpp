// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "batch.h"
#include "extractionfixture.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <csignal>
#include <cstring>
#include <sys/stat.h>

class BatchTest : public QObject
{
    Q_OBJECT

private slots:
    void runsSelectedEntriesInListOrderOneAtATime_data();
    void runsSelectedEntriesInListOrderOneAtATime();
    void stopsAtTheFirstFailure_data();
    void stopsAtTheFirstFailure();
    void failedExtractorsAreToldInOneMessage();
    void inheritedChildSignalDispositionIsUndoneAtStart_data();
    void inheritedChildSignalDispositionIsUndoneAtStart();
};

// What a standard stream of this process is, as device:inode.
static QByteArray streamIdentity(int fd)
{
    struct stat status = {};
    return fstat(fd, &status) != 0 ? QByteArray("closed")
                                   : QByteArray::number(quint64(status.st_dev)) + ':' +
                                         QByteArray::number(quint64(status.st_ino));
}

// runs names the archives the extractor is started for, in order, and targets
// their folders in the destination; with a folder per archive, those folders
// are all the destination holds afterwards. Each extractor shares this
// process's working directory and standard streams.
void BatchTest::runsSelectedEntriesInListOrderOneAtATime_data()
{
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QList<int>>("selection");
    QTest::addColumn<bool>("folderPerArchive");
    QTest::addColumn<QStringList>("runs");
    QTest::addColumn<QStringList>("targets");

    QTest::newRow("selected entries only, in list order")
        << QStringList({"ZAXXON.ZIP", "GALAGA.ZIP", "DIGDUG.ZIP", "1942.ZIP", "BOMBJACK.ZIP"})
        << QList<int>({4, 0, 2}) << true
        << QStringList({"ZAXXON.ZIP", "DIGDUG.ZIP", "BOMBJACK.ZIP"})
        << QStringList({"ZAXXON", "DIGDUG", "BOMBJACK"});
    // An empty folder name and a shared one would each stop the checked form.
    QTest::newRow("no folder per archive: into the destination itself")
        << QStringList({"PACMAN.ZIP", ".ZIP", "STREETFIGHTER2.ZIP", "STREETFIGHTER3.ZIP", "A.ZIP"})
        << QList<int>({0, 1, 2, 3}) << false
        << QStringList({"PACMAN.ZIP", ".ZIP", "STREETFIGHTER2.ZIP", "STREETFIGHTER3.ZIP"})
        << QStringList({"", "", "", ""});
    QTest::newRow("an empty list")
        << QStringList() << QList<int>() << true << QStringList() << QStringList();
    QTest::newRow("nothing selected")
        << QStringList({".ZIP"}) << QList<int>() << true << QStringList() << QStringList();

    // Names that a shell or a command line split at blanks would break apart.
    const auto awkward = [](const char *row, const QString &archive, const QString &folder) {
        QTest::newRow(row) << QStringList(archive) << QList<int>({0}) << true
                           << QStringList(archive) << QStringList(folder);
    };
    awkward("a blank", "Pac Man.zip", "Pac Man");
    awkward("blanks and a long name", "NEO GEO CUP.ZIP", "NEO GEO");
    awkward("quotes", "it's \"x\".zip", "it's \"x\"");
    awkward("a leading dash", "-rf.zip", "-rf");
    awkward("shell characters", "$(x);|&`y`*<>.zip", "$(x);|&`");
    awkward("backslashes and tabs", "a\\b\tc.zip", "a\\b\tc");
    awkward("non-ASCII letters", QStringLiteral("Città 𝔄.zip"), QStringLiteral("Città 𝔄"));
}

void BatchTest::runsSelectedEntriesInListOrderOneAtATime()
{
    QFETCH(QStringList, entries);
    QFETCH(QList<int>, selection);
    QFETCH(bool, folderPerArchive);
    QFETCH(QStringList, runs);
    QFETCH(QStringList, targets);
    ExtractionFixture fixture;
    QVERIFY(fixture.isValid());
    BatchRequest request = fixture.request(entries, selection);
    request.folderPerArchive = folderPerArchive;

    QVERIFY(!runBatch(request).stoppedBy);

    // Each stub run takes 20 ms: a batch that did not wait for an extractor
    // would overlap the next one or return before the last one had logged.
    const QList<StubRun> stubRuns = fixture.runs();
    QCOMPARE(stubRuns.size(), runs.size());
    const QByteArrayList streams = {streamIdentity(0), streamIdentity(1), streamIdentity(2)};
    for (qsizetype i = 0; i < runs.size(); ++i) {
        QCOMPARE(stubRuns[i].arguments, fixture.arguments(runs[i], targets[i]));
        QVERIFY(i == 0 || stubRuns[i].start >= stubRuns[i - 1].end);
        QCOMPARE(stubRuns[i].workingDirectory, QFile::encodeName(QDir::current().canonicalPath()));
        QCOMPARE(stubRuns[i].standardStreams, streams);
    }
    QStringList folders = folderPerArchive ? targets : QStringList();
    folders.sort();
    QCOMPARE(ExtractionFixture::entriesOf(request.destination), folders);
}

// A batch that stops: what it is given, and where and how it stops.
struct Stop
{
    QStringList entries; // each one selected but those in unselected
    QList<int> unselected;
    QString destination = "games";
    bool secondBatch = false; // the same batch run once before, in full
    bool extractorPresent = true;
    QString message;     // what the user is told; $ROOT stands for the fixture
    int runs = 0;        // extractors started
    QStringList folders; // what the destination holds afterwards
};
Q_DECLARE_METATYPE(Stop)

// Entries before the failing one are fully done, its extractor is not run and
// later entries are not touched.
void BatchTest::stopsAtTheFirstFailure_data()
{
    QTest::addColumn<Stop>("stop");
    const QString creating = QStringLiteral("Impossibile creare la cartella $ROOT/");
    Stop shared;
    shared.entries = QStringList{"STREETFIGHTER2.ZIP", "STREETFIGHTER3.ZIP", "PACMAN.ZIP"};
    shared.message = creating + "games/STREETFI\n\n17: File exists";
    shared.runs = 1;
    shared.folders = QStringList{"STREETFI"};
    QTest::newRow("two names sharing their first eight") << shared;
    Stop empty;
    empty.entries = QStringList{"GALAGA.ZIP", ".ZIP", "PACMAN.ZIP"};
    empty.message = creating + "games/\n\n17: File exists";
    empty.runs = 1;
    empty.folders = QStringList{"GALAGA"};
    QTest::newRow("an empty folder name is the destination itself") << empty;
    Stop again;
    again.entries = QStringList{"PACMAN.ZIP", "GALAGA.ZIP"};
    again.secondBatch = true;
    again.message = creating + "games/PACMAN\n\n17: File exists";
    again.runs = 2;
    again.folders = QStringList{"GALAGA", "PACMAN"};
    QTest::newRow("a second batch finds its folders") << again;
    Stop missing;
    missing.entries = QStringList{"PACMAN.ZIP"};
    missing.destination = "missing";
    missing.message = creating + "missing/PACMAN\n\n2: No such file or directory";
    QTest::newRow("the destination is missing") << missing;
    Stop rule;
    rule.entries = QStringList{"PACMAN.ZIP", "ABC", "GALAGA.ZIP"};
    rule.unselected = {1};
    rule.message = "Impossibile ricavare il nome della cartella da \"ABC\"\n\n22: Invalid argument";
    rule.runs = 1;
    rule.folders = QStringList{"PACMAN"};
    QTest::newRow("the folder-name rule fails on an entry not selected") << rule;
    Stop noExtractor;
    noExtractor.entries = QStringList{"PACMAN.ZIP", "GALAGA.ZIP"};
    noExtractor.extractorPresent = false;
    noExtractor.message =
        "Impossibile avviare $ROOT/program/pkunzip\n\n2: No such file or directory";
    noExtractor.folders = QStringList{"PACMAN"};
    QTest::newRow("the extractor cannot start") << noExtractor;
}

void BatchTest::stopsAtTheFirstFailure()
{
    QFETCH(Stop, stop);
    ExtractionFixture fixture;
    QVERIFY(fixture.isValid());
    if (!stop.extractorPresent)
        QFile::remove(fixture.programDirectory() + "/pkunzip");
    QList<int> selection;
    for (int i = 0; i < stop.entries.size(); ++i)
        if (!stop.unselected.contains(i))
            selection << i;
    BatchRequest request = fixture.request(stop.entries, selection);
    request.destination = fixture.root() + '/' + stop.destination;

    if (stop.secondBatch)
        QVERIFY(!runBatch(request).stoppedBy);
    const BatchResult result = runBatch(request);

    QVERIFY(result.stoppedBy);
    QCOMPARE(failureMessage(*result.stoppedBy), stop.message.replace("$ROOT", fixture.root()));
    QCOMPARE(fixture.runs().size(), stop.runs);
    QCOMPARE(ExtractionFixture::entriesOf(request.destination), stop.folders);
}

// Failed extractors do not stop the batch; they are gathered in list order.
void BatchTest::failedExtractorsAreToldInOneMessage()
{
    ExtractionFixture fixture;
    QVERIFY(fixture.isValid());
    fixture.setEnds({"GALAGA.ZIP=1", "DIGDUG.ZIP=signal 15"});

    const BatchResult result = runBatch(
        fixture.request({"PACMAN.ZIP", "GALAGA.ZIP", "DIGDUG.ZIP", "ZAXXON.ZIP"}, {0, 1, 2, 3}));

    QVERIFY(!result.stoppedBy);
    QCOMPARE(fixture.runs().size(), 4);
    const FailedExtractionsReport report = failedExtractionsReport(result.failedExtractions);
    QVERIFY(report.fullList.isEmpty());
    QCOMPARE(report.message, "Alcuni archivi non sono stati scompattati del tutto:\n\n"
                             "GALAGA.ZIP: pkunzip terminato con codice 1\n"
                             "DIGDUG.ZIP: pkunzip interrotto dal segnale 15 (" +
                                 QString::fromLocal8Bit(strsignal(SIGTERM)) + ")");
}

void BatchTest::inheritedChildSignalDispositionIsUndoneAtStart_data()
{
    QTest::addColumn<bool>("ignored");
    QTest::newRow("SIGCHLD ignored") << true;
    QTest::newRow("SIGCHLD left to its default with SA_NOCLDWAIT") << false;
}

// As a program started by a parent that set SIGCHLD so before exec: every
// child would be reaped by the system and none could be waited for.
void BatchTest::inheritedChildSignalDispositionIsUndoneAtStart()
{
    QFETCH(bool, ignored);
    struct sigaction inherited = {};
    inherited.sa_handler = ignored ? SIG_IGN : SIG_DFL;
    inherited.sa_flags = ignored ? 0 : SA_NOCLDWAIT;
    QCOMPARE(sigaction(SIGCHLD, &inherited, nullptr), 0);
    ExtractionFixture fixture;
    QVERIFY(fixture.isValid());

    restoreChildSignalDefault();
    const BatchResult result = runBatch(fixture.request({"PACMAN.ZIP", "GALAGA.ZIP"}, {0, 1}));

    QVERIFY(!result.stoppedBy);
    QCOMPARE(fixture.runs().size(), 2);
}

QTEST_APPLESS_MAIN(BatchTest)
#include "batchtest.moc"
