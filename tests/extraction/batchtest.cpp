#include "batch.h"
#include "extractionfixture.h"

#include <QDir>
#include <QFileInfo>
#include <QTest>

#include <cerrno>
#include <csignal>

namespace {

// The list and fields as plain values; an entry is selected when its index
// is in selection.
struct ListView : BatchView
{
    QStringList entries;
    QList<int> selection;
    QString sourceText;
    QString destinationText;
    bool checkdirOn = true;
    QString program;

    int count() const override { return int(entries.size()); }
    bool selected(int i) const override { return selection.contains(i); }
    QString text(int i) const override { return entries.at(i); }
    QString source() const override { return sourceText; }
    QString destination() const override { return destinationText; }
    bool checkdir() const override { return checkdirOn; }
    QString programDirectory() const override { return program; }
};

} // namespace

static ListView viewOf(const ExtractionFixture &fixture, const QStringList &entries,
                       const QList<int> &selection)
{
    fixture.addArchives(entries);
    ListView view;
    view.entries = entries;
    view.selection = selection;
    view.sourceText = fixture.source();
    view.destinationText = fixture.destination();
    view.program = fixture.programDirectory();
    return view;
}

static QByteArrayList argumentsFor(const ListView &view, const QString &archiveName,
                                   const QString &target)
{
    return {(view.sourceText + QLatin1Char('/') + archiveName).toUtf8(),
            (view.destinationText + QLatin1Char('/') + target).toUtf8()};
}

class BatchTest : public QObject
{
    Q_OBJECT

private slots:
    void extractsIntoANewFolderPerArchive();
    void extractsStraightIntoTheDestinationWhenUnchecked();
    void passesAwkwardNamesAsTwoArguments_data();
    void passesAwkwardNamesAsTwoArguments();
    void runsSelectedEntriesOnlyInListOrderOneAtATime();
    void doesNothing_data();
    void doesNothing();
    void stopsAtAFailedFolderCreation_data();
    void stopsAtAFailedFolderCreation();
    void stopsWhenASecondBatchFindsItsFolders();
    void stopsWhenTheDestinationIsMissing();
    void stopsAtAFolderNameRuleFailureEvenWhenNotSelected();
    void stopsWhenTheExtractorCannotStart();
    void collectsExtractorsThatFailed();
};

void BatchTest::extractsIntoANewFolderPerArchive()
{
    ExtractionFixture fixture;
    QVERIFY(fixture.isValid());
    const ListView view = viewOf(fixture, {QStringLiteral("PACMAN.ZIP")}, {0});

    const BatchResult result = runBatch(view);

    QVERIFY(!result.stoppedBy);
    QVERIFY(result.failedExtractions.isEmpty());
    QCOMPARE(fixture.destinationEntries(), QStringList{QStringLiteral("PACMAN")});
    const QList<StubRun> runs = fixture.runs();
    QCOMPARE(runs.size(), 1);
    QCOMPARE(runs[0].arguments, argumentsFor(view, "PACMAN.ZIP", "PACMAN"));
    QVERIFY2(runs[0].targetWasDirectory, "the folder exists before the extractor starts");
}

void BatchTest::extractsStraightIntoTheDestinationWhenUnchecked()
{
    ExtractionFixture fixture;
    QVERIFY(fixture.isValid());
    // Each of these would stop the checked form: an empty folder name and a
    // shared one.
    ListView view =
        viewOf(fixture,
               {QStringLiteral("PACMAN.ZIP"), QStringLiteral(".ZIP"),
                QStringLiteral("STREETFIGHTER2.ZIP"), QStringLiteral("STREETFIGHTER3.ZIP")},
               {0, 1, 2, 3});
    view.checkdirOn = false;

    const BatchResult result = runBatch(view);

    QVERIFY(!result.stoppedBy);
    QVERIFY(fixture.destinationEntries().isEmpty());
    const QList<StubRun> runs = fixture.runs();
    QCOMPARE(runs.size(), 4);
    for (int i = 0; i < 4; ++i)
        QCOMPARE(runs[i].arguments, argumentsFor(view, view.entries[i], QString()));
}

void BatchTest::passesAwkwardNamesAsTwoArguments_data()
{
    QTest::addColumn<QString>("archiveName");
    QTest::addColumn<QString>("folderName");

    QTest::newRow("a blank") << "Pac Man.zip"
                             << "Pac Man";
    QTest::newRow("blanks and a long name") << "NEO GEO CUP.ZIP"
                                            << "NEO GEO";
    QTest::newRow("quotes") << "it's \"x\".zip"
                            << "it's \"x\"";
    QTest::newRow("a leading dash") << "-rf.zip"
                                    << "-rf";
    QTest::newRow("shell characters") << "$(x);|.zip"
                                      << "$(x);|";
    QTest::newRow("non-ASCII letters") << QStringLiteral("Città.zip") << QStringLiteral("Città");
}

void BatchTest::passesAwkwardNamesAsTwoArguments()
{
    QFETCH(QString, archiveName);
    QFETCH(QString, folderName);
    ExtractionFixture fixture;
    QVERIFY(fixture.isValid());
    const ListView view = viewOf(fixture, {archiveName}, {0});

    const BatchResult result = runBatch(view);

    QVERIFY(!result.stoppedBy);
    QCOMPARE(fixture.destinationEntries(), QStringList{folderName});
    const QList<StubRun> runs = fixture.runs();
    QCOMPARE(runs.size(), 1);
    QCOMPARE(runs[0].arguments, argumentsFor(view, archiveName, folderName));
}

void BatchTest::runsSelectedEntriesOnlyInListOrderOneAtATime()
{
    ExtractionFixture fixture;
    QVERIFY(fixture.isValid());
    fixture.setSleepMilliseconds(50);
    const ListView view = viewOf(fixture,
                                 {QStringLiteral("ZAXXON.ZIP"), QStringLiteral("GALAGA.ZIP"),
                                  QStringLiteral("DIGDUG.ZIP"), QStringLiteral("1942.ZIP"),
                                  QStringLiteral("BOMBJACK.ZIP")},
                                 {4, 0, 2});

    const BatchResult result = runBatch(view);

    QVERIFY(!result.stoppedBy);
    QCOMPARE(fixture.destinationEntries(),
             QStringList(
                 {QStringLiteral("BOMBJACK"), QStringLiteral("DIGDUG"), QStringLiteral("ZAXXON")}));
    const QList<StubRun> runs = fixture.runs();
    QCOMPARE(runs.size(), 3);
    QCOMPARE(runs[0].arguments, argumentsFor(view, "ZAXXON.ZIP", "ZAXXON"));
    QCOMPARE(runs[1].arguments, argumentsFor(view, "DIGDUG.ZIP", "DIGDUG"));
    QCOMPARE(runs[2].arguments, argumentsFor(view, "BOMBJACK.ZIP", "BOMBJACK"));
    QVERIFY(runs[1].start >= runs[0].end);
    QVERIFY(runs[2].start >= runs[1].end);
}

void BatchTest::doesNothing_data()
{
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<bool>("checkdir");

    QTest::newRow("an empty list") << QStringList() << true;
    QTest::newRow("nothing selected") << QStringList({"PACMAN.ZIP", ".ZIP", "GALAGA.ZIP"}) << true;
    QTest::newRow("nothing selected, unchecked") << QStringList({"PACMAN.ZIP"}) << false;
}

void BatchTest::doesNothing()
{
    QFETCH(QStringList, entries);
    QFETCH(bool, checkdir);
    ExtractionFixture fixture;
    QVERIFY(fixture.isValid());
    ListView view = viewOf(fixture, entries, {});
    view.checkdirOn = checkdir;

    const BatchResult result = runBatch(view);

    QVERIFY(!result.stoppedBy);
    QVERIFY(result.failedExtractions.isEmpty());
    QVERIFY(fixture.destinationEntries().isEmpty());
    QVERIFY(fixture.runs().isEmpty());
}

void BatchTest::stopsAtAFailedFolderCreation_data()
{
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QString>("failingFolder");
    QTest::addColumn<int>("errorNumber");
    QTest::addColumn<QStringList>("folders");

    QTest::newRow("two names sharing their first eight")
        << QStringList({"STREETFIGHTER2.ZIP", "STREETFIGHTER3.ZIP", "PACMAN.ZIP"}) << "STREETFI"
        << EEXIST << QStringList({"STREETFI"});
    QTest::newRow("an empty folder name is the destination itself")
        << QStringList({"GALAGA.ZIP", ".ZIP", "PACMAN.ZIP"}) << "" << EEXIST
        << QStringList({"GALAGA"});
}

void BatchTest::stopsAtAFailedFolderCreation()
{
    QFETCH(QStringList, entries);
    QFETCH(QString, failingFolder);
    QFETCH(int, errorNumber);
    QFETCH(QStringList, folders);
    ExtractionFixture fixture;
    QVERIFY(fixture.isValid());
    const ListView view = viewOf(fixture, entries, {0, 1, 2});

    const BatchResult result = runBatch(view);

    QVERIFY(result.stoppedBy);
    QCOMPARE(result.stoppedBy->operation,
             "Impossibile creare la cartella " + fixture.destination() + "/" + failingFolder);
    QCOMPARE(result.stoppedBy->number, errorNumber);
    QCOMPARE(fixture.destinationEntries(), folders);
    const QList<StubRun> runs = fixture.runs();
    QCOMPARE(runs.size(), 1);
    QCOMPARE(runs[0].arguments, argumentsFor(view, entries[0], folders[0]));
}

void BatchTest::stopsWhenASecondBatchFindsItsFolders()
{
    ExtractionFixture fixture;
    QVERIFY(fixture.isValid());
    const ListView view =
        viewOf(fixture, {QStringLiteral("PACMAN.ZIP"), QStringLiteral("GALAGA.ZIP")}, {0, 1});
    QVERIFY(!runBatch(view).stoppedBy);

    const BatchResult second = runBatch(view);

    QVERIFY(second.stoppedBy);
    QCOMPARE(second.stoppedBy->operation,
             "Impossibile creare la cartella " + fixture.destination() + "/PACMAN");
    QCOMPARE(second.stoppedBy->number, EEXIST);
    QCOMPARE(fixture.runs().size(), 2);
}

void BatchTest::stopsWhenTheDestinationIsMissing()
{
    ExtractionFixture fixture;
    QVERIFY(fixture.isValid());
    ListView view = viewOf(fixture, {QStringLiteral("PACMAN.ZIP")}, {0});
    view.destinationText = fixture.path(QStringLiteral("missing"));

    const BatchResult result = runBatch(view);

    QVERIFY(result.stoppedBy);
    QCOMPARE(result.stoppedBy->operation,
             "Impossibile creare la cartella " + view.destinationText + "/PACMAN");
    QCOMPARE(result.stoppedBy->number, ENOENT);
    QVERIFY(!QFileInfo::exists(view.destinationText));
    QVERIFY(fixture.runs().isEmpty());
}

void BatchTest::stopsAtAFolderNameRuleFailureEvenWhenNotSelected()
{
    ExtractionFixture fixture;
    QVERIFY(fixture.isValid());
    const ListView view =
        viewOf(fixture,
               {QStringLiteral("PACMAN.ZIP"), QStringLiteral("ABC"), QStringLiteral("GALAGA.ZIP")},
               {0, 2});

    const BatchResult result = runBatch(view);

    QVERIFY(result.stoppedBy);
    QCOMPARE(result.stoppedBy->number, EINVAL);
    QCOMPARE(fixture.destinationEntries(), QStringList{QStringLiteral("PACMAN")});
    QCOMPARE(fixture.runs().size(), 1);
}

void BatchTest::stopsWhenTheExtractorCannotStart()
{
    ExtractionFixture fixture;
    QVERIFY(fixture.isValid());
    fixture.removeExtractor();
    const ListView view =
        viewOf(fixture, {QStringLiteral("PACMAN.ZIP"), QStringLiteral("GALAGA.ZIP")}, {0, 1});

    const BatchResult result = runBatch(view);

    QVERIFY(result.stoppedBy);
    QCOMPARE(result.stoppedBy->operation,
             "Impossibile avviare " + fixture.programDirectory() + "/pkunzip");
    QCOMPARE(result.stoppedBy->number, ENOENT);
    QCOMPARE(fixture.destinationEntries(), QStringList{QStringLiteral("PACMAN")});
}

void BatchTest::collectsExtractorsThatFailed()
{
    ExtractionFixture fixture;
    QVERIFY(fixture.isValid());
    fixture.setEnds({QStringLiteral("GALAGA.ZIP=1"), QStringLiteral("DIGDUG.ZIP=signal 9"),
                     QStringLiteral("1942.ZIP=2")});
    const ListView view = viewOf(fixture,
                                 {QStringLiteral("PACMAN.ZIP"), QStringLiteral("GALAGA.ZIP"),
                                  QStringLiteral("DIGDUG.ZIP"), QStringLiteral("1942.ZIP"),
                                  QStringLiteral("ZAXXON.ZIP")},
                                 {0, 1, 2, 4});

    const BatchResult result = runBatch(view);

    QVERIFY(!result.stoppedBy);
    QCOMPARE(fixture.runs().size(), 4);
    QCOMPARE(result.failedExtractions.size(), 2);
    QCOMPARE(result.failedExtractions[0].archiveName, QStringLiteral("GALAGA.ZIP"));
    QCOMPARE(result.failedExtractions[0].end.kind, ChildEnd::Kind::Exited);
    QCOMPARE(result.failedExtractions[0].end.value, 1);
    QCOMPARE(result.failedExtractions[1].archiveName, QStringLiteral("DIGDUG.ZIP"));
    QCOMPARE(result.failedExtractions[1].end.kind, ChildEnd::Kind::Signalled);
    QCOMPARE(result.failedExtractions[1].end.value, SIGKILL);
}

QTEST_APPLESS_MAIN(BatchTest)
#include "batchtest.moc"
