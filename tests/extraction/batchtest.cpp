// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "batch.h"
#include "batchreport.h"
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
    void theSummaryTellsWhyEachArchiveFailed_data();
    void theSummaryTellsWhyEachArchiveFailed();
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
// process's working directory, standard input and output; its standard error
// is the batch's to read.
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
    for (qsizetype i = 0; i < runs.size(); ++i) {
        QCOMPARE(stubRuns[i].arguments, fixture.arguments(runs[i], targets[i]));
        QVERIFY(i == 0 || stubRuns[i].start >= stubRuns[i - 1].end);
        QCOMPARE(stubRuns[i].workingDirectory, QFile::encodeName(QDir::current().canonicalPath()));
        QCOMPARE(stubRuns[i].standardStreams.mid(0, 2),
                 QByteArrayList({streamIdentity(0), streamIdentity(1)}));
        QCOMPARE_NE(stubRuns[i].standardStreams[2], streamIdentity(2));
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
    QStringList ends;    // how the stub ends, as ExtractionFixture::setEnds takes it
    QString reasons;     // what the stub writes on standard error for the first entry
    QString message;     // what the user is told; $ROOT stands for the fixture
    QString details;     // the message's details
    int runs = 0;        // extractors started
    QStringList folders; // what the destination holds afterwards
};
Q_DECLARE_METATYPE(Stop)

// Entries before the failing one are fully done, its extractor is not run and
// later entries are not touched; the message says which of them were selected.
void BatchTest::stopsAtTheFirstFailure_data()
{
    QTest::addColumn<Stop>("stop");
    const QString creating = QStringLiteral("Impossibile creare la cartella $ROOT/");
    const QString untouched = QStringLiteral("Archivi selezionati non scompattati:\n\n");
    Stop shared;
    shared.entries = QStringList{"STREETFIGHTER2.ZIP", "STREETFIGHTER3.ZIP", "PACMAN.ZIP"};
    shared.message = creating + "games/STREETFI\n\n17: File exists\n\n"
                                "2 archivi selezionati non sono stati scompattati, a partire da "
                                "STREETFIGHTER3.ZIP; l'elenco è nei dettagli.";
    shared.details = untouched + "STREETFIGHTER3.ZIP\nPACMAN.ZIP";
    shared.runs = 1;
    shared.folders = QStringList{"STREETFI"};
    QTest::newRow("two names sharing their first eight") << shared;
    Stop empty;
    empty.entries = QStringList{"GALAGA.ZIP", "    .zip", "PACMAN.ZIP"};
    empty.unselected = {2};
    empty.message = "Impossibile ricavare il nome della cartella da \"    .zip\": resterebbe "
                    "vuoto\n\n22: Invalid argument\n\n"
                    "1 archivio selezionato non è stato scompattato:     .zip.";
    empty.details = untouched + "    .zip";
    empty.runs = 1;
    empty.folders = QStringList{"GALAGA"};
    QTest::newRow("an empty folder name is told as such") << empty;
    Stop again;
    again.entries = QStringList{"PACMAN.ZIP", "GALAGA.ZIP"};
    again.secondBatch = true;
    again.message = creating + "games/PACMAN\n\n17: File exists\n\n"
                               "2 archivi selezionati non sono stati scompattati, a partire da "
                               "PACMAN.ZIP; l'elenco è nei dettagli.";
    again.details = untouched + "PACMAN.ZIP\nGALAGA.ZIP";
    again.runs = 2;
    again.folders = QStringList{"GALAGA", "PACMAN"};
    QTest::newRow("a second batch finds its folders") << again;
    Stop missing;
    missing.entries = QStringList{"PACMAN.ZIP"};
    missing.destination = "missing";
    missing.message = creating + "missing/PACMAN\n\n2: No such file or directory\n\n"
                                 "1 archivio selezionato non è stato scompattato: PACMAN.ZIP.";
    missing.details = untouched + "PACMAN.ZIP";
    QTest::newRow("the destination is missing") << missing;
    Stop rule;
    rule.entries = QStringList{"PACMAN.ZIP", "ABC", "GALAGA.ZIP"};
    rule.unselected = {1};
    rule.message = "Impossibile ricavare il nome della cartella da \"ABC\"\n\n22: Invalid argument"
                   "\n\n1 archivio selezionato non è stato scompattato: GALAGA.ZIP.";
    rule.details = untouched + "GALAGA.ZIP";
    rule.runs = 1;
    rule.folders = QStringList{"PACMAN"};
    QTest::newRow("the folder-name rule fails on an entry not selected") << rule;
    Stop noExtractor;
    noExtractor.entries = QStringList{"PACMAN.ZIP", "GALAGA.ZIP"};
    noExtractor.extractorPresent = false;
    noExtractor.message = "Impossibile avviare $ROOT/program/pkunzip\n\n2: No such file or "
                          "directory\n\n2 archivi selezionati non sono stati scompattati, a "
                          "partire da PACMAN.ZIP; l'elenco è nei dettagli.";
    noExtractor.details = untouched + "PACMAN.ZIP\nGALAGA.ZIP";
    noExtractor.folders = QStringList{"PACMAN"};
    QTest::newRow("the extractor cannot start") << noExtractor;
    Stop after;
    after.entries = QStringList{"DONKEYKONG.ZIP", "SUPERMARIO_part0.zip", "SUPERMARIO_part1.zip",
                                "ZELDA.ZIP", "METROID.ZIP"};
    after.unselected = {3};
    after.ends = QStringList{"DONKEYKONG.ZIP=1"};
    after.reasons = "pkunzip: $ROOT/roms/DONKEYKONG.ZIP: dk.bin: dati danneggiati\n";
    after.message = creating + "games/SUPERMAR\n\n17: File exists\n\n"
                               "2 archivi selezionati non sono stati scompattati, a partire da "
                               "SUPERMARIO_part1.zip; l'elenco è nei dettagli.\n\n"
                               "Alcuni archivi non sono stati scompattati del tutto:\n\n"
                               "DONKEYKONG.ZIP: pkunzip non ha scritto alcuni file\n"
                               "    dk.bin: dati danneggiati";
    after.details = untouched + "SUPERMARIO_part1.zip\nMETROID.ZIP";
    after.runs = 2;
    after.folders = QStringList{"DONKEYKO", "SUPERMAR"};
    QTest::newRow("the failures before the stop are told with it") << after;
}

void BatchTest::stopsAtTheFirstFailure()
{
    QFETCH(Stop, stop);
    ExtractionFixture fixture;
    QVERIFY(fixture.isValid());
    if (!stop.extractorPresent)
        QFile::remove(fixture.programDirectory() + "/pkunzip");
    fixture.setEnds(stop.ends);
    QVERIFY(fixture.setErrorOutput(stop.entries[0],
                                   stop.reasons.replace("$ROOT", fixture.root()).toUtf8()));
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
    const BatchReport report = batchReport(result);
    QCOMPARE(report.kind, BatchReport::Kind::Stopped);
    QCOMPARE(report.message, stop.message.replace("$ROOT", fixture.root()));
    QCOMPARE(report.details, stop.details);
    QCOMPARE(fixture.runs().size(), stop.runs);
    QCOMPARE(ExtractionFixture::entriesOf(request.destination), stop.folders);
}

// Failed extractors do not stop the batch; they are told in list order, each
// with what its extractor wrote on standard error under it.
struct Summary
{
    QStringList ends;
    // Entries and what the stub writes on standard error for each; every entry
    // is selected. $ROOT stands for the fixture.
    QList<std::pair<QString, QByteArray>> entries;
    QString message;
    // Texts the details hold; none when there are no details.
    QStringList inDetails;
};
Q_DECLARE_METATYPE(Summary)

static QByteArray manyLines(int count, const char *text)
{
    QByteArray lines;
    for (int i = 0; i < count; ++i)
        lines += QByteArray::number(i).rightJustified(6, '0') + text + '\n';
    return lines;
}

void BatchTest::theSummaryTellsWhyEachArchiveFailed_data()
{
    QTest::addColumn<Summary>("summary");
    const QString heading = "Alcuni archivi non sono stati scompattati del tutto:\n\n";
    const QByteArray galaga = "pkunzip: $ROOT/roms/GALAGA.ZIP: ";
    QTest::newRow("reasons under their archive, without pkunzip's prefix; a signal as before")
        << Summary{{"GALAGA.ZIP=1", "DIGDUG.ZIP=2", "ZAXXON.ZIP=signal 15"},
                   {{"PACMAN.ZIP", {}},
                    {"GALAGA.ZIP", galaga + "a.bin: dati danneggiati\n" + galaga +
                                       "b.bin: manca il segmento GALAGA.z01\n"},
                    {"DIGDUG.ZIP", "pkunzip: $ROOT/roms/DIGDUG.ZIP: non è un archivio ZIP\n"},
                    {"ZAXXON.ZIP", {}}},
                   heading +
                       "GALAGA.ZIP: pkunzip non ha scritto alcuni file\n"
                       "    a.bin: dati danneggiati\n"
                       "    b.bin: manca il segmento GALAGA.z01\n"
                       "DIGDUG.ZIP: pkunzip non lo legge come archivio\n"
                       "    non è un archivio ZIP\n"
                       "ZAXXON.ZIP: pkunzip interrotto dal segnale 15 (" +
                       QString::fromLocal8Bit(strsignal(SIGTERM)) + ")",
                   {}};
    QTest::newRow("a note from an archive that was extracted says nothing")
        << Summary{{}, {{"PACMAN.ZIP", galaga + "nota: commento dell'archivio\n"}}, {}, {}};
    QTest::newRow("another program's code as before; bytes not UTF-8 and controls by their codes")
        << Summary{{"GALAGA.ZIP=9"},
                   {{"GALAGA.ZIP", "caf\x82.txt:\tdati \x1b[1mdanneggiati\r\n\nabc\xe2\x82"}},
                   heading + "GALAGA.ZIP: pkunzip terminato con codice 9\n"
                             "    caf\\x82.txt: dati \\x1B[1mdanneggiati\n"
                             "    abc\\xE2\\x82",
                   {}};
    QTest::newRow("megabytes of reasons: six lines cut short, all kept lines in the details")
        << Summary{
               {"GALAGA.ZIP=1", "DIGDUG.ZIP=1", "ZAXXON.ZIP=1"},
               {{"GALAGA.ZIP", QByteArray(100000, 'x') + '\n' + manyLines(200000, ": danneggiato")},
                {"DIGDUG.ZIP", manyLines(5, ": danneggiato")},
                {"ZAXXON.ZIP", manyLines(2, ": danneggiato")}},
               heading + "GALAGA.ZIP: pkunzip non ha scritto alcuni file\n    " + QString(89, 'x') +
                   "…\n"
                   "    000000: danneggiato\n"
                   "    000001: danneggiato\n"
                   "    …\n"
                   "DIGDUG.ZIP: pkunzip non ha scritto alcuni file\n"
                   "    000000: danneggiato\n"
                   "    000001: danneggiato\n"
                   "    000002: danneggiato\n"
                   "    …\n"
                   "ZAXXON.ZIP: pkunzip non ha scritto alcuni file",
               {"\n    " + QString(300, 'x') + "…\n    000000: danneggiato\n",
                "\n    000018: danneggiato\n    … e altre 199981 righe\nDIGDUG.ZIP",
                "\n    000004: danneggiato\nZAXXON.ZIP"}};
}

void BatchTest::theSummaryTellsWhyEachArchiveFailed()
{
    QFETCH(Summary, summary);
    ExtractionFixture fixture;
    QVERIFY(fixture.isValid());
    fixture.setEnds(summary.ends);
    QStringList entries;
    QList<int> selection;
    for (auto &[name, errors] : summary.entries) {
        QVERIFY(fixture.setErrorOutput(name, errors.replace("$ROOT", fixture.root().toUtf8())));
        selection << int(entries.size());
        entries << name;
    }

    const BatchResult result = runBatch(fixture.request(entries, selection));

    QVERIFY(!result.stoppedBy);
    QCOMPARE(fixture.runs().size(), entries.size());
    const BatchReport report = batchReport(result);
    QCOMPARE(report.message, summary.message);
    QCOMPARE(report.kind, summary.message.isEmpty() ? BatchReport::Kind::Nothing
                                                    : BatchReport::Kind::SomeFailed);
    for (const QString &text : summary.inDetails)
        QVERIFY2(report.details.contains(text), qPrintable(text));
    QCOMPARE(report.details.isEmpty(), summary.inDetails.isEmpty());
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

QTEST_GUILESS_MAIN(BatchTest)
#include "batchtest.moc"
