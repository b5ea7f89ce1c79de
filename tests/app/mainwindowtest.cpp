#include "mainwindow.h"
#include "archivenamesmodel.h"
#include "colourcycle.h"
#include "extractionfixture.h"
#include "messageboxcatcher.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>

// What the directory holds, each name as the file system's bytes, sorted.
static QByteArrayList entriesOf(const QByteArray &directory)
{
    QByteArrayList names;
    for (const auto &entry : std::filesystem::directory_iterator(directory.toStdString()))
        names << QByteArray::fromStdString(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The window over an extraction fixture, whose program directory holds the
// stub extractor and the settings file. Each command is checked once through
// its button; the cases behind it belong to the logic tests.
class MainWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void frameAndTrickyTexts();
    void tabOrderEnterAndEscape();
    void timerRecoloursTheContactEvenWhileHidden();
    void exitAndTheFrameEndTheProgram_data();
    void exitAndTheFrameEndTheProgram();
    void refreshListsArchivesUnselectedAndReportsAMissingDirectory();
    void selectAllAndDeselectAllChangeOnlyTheSelection();
    void settingsAtStart_data();
    void settingsAtStart();
    void savedFieldsComeBackAndFailuresAreReported();
    void extractRunsWhatTheWindowShowsAndLeavesItAsItWas_data();
    void extractRunsWhatTheWindowShowsAndLeavesItAsItWas();
    void extractReportsAStopAndFailedExtractorsAndGoesOn();
    void manyFailedExtractionsFitOnTheScreenAndAreAllNamed();
    void namesThatAreNotUtf8AreListedAndExtractedUnderTheirOwnBytes();

private:
    void open() { window = std::make_unique<MainWindow>(fixture->programDirectory()); }
    template <typename T = QWidget> T *control(const char *name) const
    {
        T *found = window->findChild<T *>(QLatin1String(name));
        if (!found)
            qFatal("no control %s", name);
        return found;
    }
    QLineEdit *field(const char *name) const { return control<QLineEdit>(name); }
    QStringList fields() const { return {field("origine")->text(), field("destinazione")->text()}; }
    void click(const char *name) const { control<QAbstractButton>(name)->click(); }
    QString settingsPath() const { return fixture->programDirectory() + "/ini.ini"; }
    void fill(const QStringList &entries, const QList<int> &selection) const
    {
        auto *list = control<QListView>("lista");
        QByteArrayList names;
        for (const QString &entry : entries)
            names << QFile::encodeName(entry);
        qobject_cast<ArchiveNamesModel *>(list->model())->setFileNames(names);
        for (int row : selection)
            list->selectionModel()->select(list->model()->index(row, 0),
                                           QItemSelectionModel::Select);
    }
    QByteArrayList fileNames() const
    {
        return qobject_cast<ArchiveNamesModel *>(control<QListView>("lista")->model())->fileNames();
    }
    QStringList entries() const
    {
        QStringList shown;
        for (const QByteArray &name : fileNames())
            shown << QFile::decodeName(name);
        return shown;
    }
    QList<int> selectedRows() const
    {
        QList<int> rows;
        for (const QModelIndex &index :
             control<QListView>("lista")->selectionModel()->selectedIndexes())
            rows << index.row();
        std::sort(rows.begin(), rows.end());
        return rows;
    }
    QColor contactColour() const
    {
        return control<QLabel>("Label5")->palette().color(QPalette::WindowText);
    }

    std::unique_ptr<ExtractionFixture> fixture;
    std::unique_ptr<MessageBoxCatcher> reports;
    std::unique_ptr<MainWindow> window;
};

void MainWindowTest::init()
{
    window.reset();
    fixture = std::make_unique<ExtractionFixture>();
    QVERIFY(fixture->isValid());
    reports = std::make_unique<MessageBoxCatcher>();
}

// The rest of the look is checked by the smoke test's screenshot.
void MainWindowTest::frameAndTrickyTexts()
{
    open();
    QCOMPARE(window->windowTitle(), "The Vrillo V1.1");
    QCOMPARE(window->geometry(), QRect(173, 155, 432, 298));
    QCOMPARE(window->minimumSize(), window->maximumSize());
    QCOMPARE(control<QAbstractButton>("cmdsalva")->text(), "&Salva  Impostazioni");
    QCOMPARE(control<QAbstractButton>("vai")->text(), "&Vai!!!");
    QCOMPARE(control("Label4")->toolTip(), "quando uscirà una nuova versione di THE VRILLO");
    QVERIFY(control<QCheckBox>("checkdir")->isChecked());
}

void MainWindowTest::tabOrderEnterAndEscape()
{
    open();
    window->show();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    QCOMPARE(QApplication::focusWidget(), control("lista"));
    for (const char *name :
         {"checkdir", "origine", "browse", "destinazione", "Command3", "cmdsalva", "Command2",
          "vai", "refresh", "Tutto", "niente", "Command1", "lista"}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget()->objectName(), name);
    }

    auto *tutto = control<QAbstractButton>("Tutto");
    QSignalSpy vaiClicks(control<QAbstractButton>("vai"), &QAbstractButton::clicked);
    QSignalSpy tuttoClicks(tutto, &QAbstractButton::clicked);
    tutto->setFocus();
    QTest::keyClick(tutto, Qt::Key_Escape);
    QCOMPARE(tuttoClicks.count(), 0);
    QTest::keyClick(tutto, Qt::Key_Return);
    QTest::keyClick(tutto, Qt::Key_Space);
    QCOMPARE(tuttoClicks.count(), 2);
    control("lista")->setFocus();
    QTest::keyClick(control("lista"), Qt::Key_Return);
    QCOMPARE(vaiClicks.count() + tuttoClicks.count(), 2);
}

// The generator is never seeded, so every run draws the same dark colours.
void MainWindowTest::timerRecoloursTheContactEvenWhileHidden()
{
    open();
    QTRY_VERIFY_WITH_TIMEOUT(contactColour() != QColor(0, 0, 255), 2000);
    QCOMPARE(contactColour(), ColourCycle().next());
    const QColor shown = contactColour();
    QVERIFY(shown.red() <= 120 && shown.green() <= 120 && shown.blue() <= 120);
    QTRY_VERIFY_WITH_TIMEOUT(contactColour() != shown, 2000);
}

void MainWindowTest::exitAndTheFrameEndTheProgram_data()
{
    QTest::addColumn<bool>("byButton");
    QTest::newRow("Esci") << true;
    QTest::newRow("the frame's close box") << false;
}

void MainWindowTest::exitAndTheFrameEndTheProgram()
{
    QFETCH(bool, byButton);
    open();
    window->show();
    QTimer::singleShot(0, [&] { byButton ? click("Command1") : void(window->close()); });
    QTimer::singleShot(5000, [] { QCoreApplication::exit(99); });
    QCOMPARE(QCoreApplication::exec(), 0);
}

void MainWindowTest::refreshListsArchivesUnselectedAndReportsAMissingDirectory()
{
    for (const char *name : {"GAME1.ZIP", "readme.txt"})
        QVERIFY(QFile(fixture->source() + '/' + name).open(QIODevice::WriteOnly));
    open();
    field("origine")->setText(fixture->source());
    click("refresh");
    QCOMPARE(entries(), QStringList("GAME1.ZIP"));
    fill(entries(), {0});
    click("refresh");
    QCOMPARE(selectedRows(), QList<int>());

    const QString missing = fixture->source() + "/missing";
    field("origine")->setText(missing);
    QCOMPARE(entries(), QStringList("GAME1.ZIP"));
    click("refresh");
    QCOMPARE(entries(), QStringList());
    QCOMPARE(reports->texts, QStringList("Impossibile leggere la directory " + missing +
                                         "\n\n2: No such file or directory"));
}

void MainWindowTest::selectAllAndDeselectAllChangeOnlyTheSelection()
{
    open();
    click("Tutto");
    const QStringList shown = {"a.zip", "b.zip", "c.zip"};
    fill(shown, {1});
    auto *list = control<QListView>("lista");
    QCOMPARE(list->selectionMode(), QAbstractItemView::MultiSelection);
    list->setCurrentIndex(list->model()->index(1, 0));

    click("Tutto");
    QCOMPARE(selectedRows(), QList<int>({0, 1, 2}));
    click("niente");
    QCOMPARE(selectedRows(), QList<int>());
    QCOMPARE(list->currentIndex().row(), 1);
    QCOMPARE(entries(), shown);
}

void MainWindowTest::settingsAtStart_data()
{
    QTest::addColumn<QByteArray>("settings"); // "-" for none, "/" for a directory in its place
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<int>("reports");

    QTest::newRow("a first run opens quietly with the initial texts")
        << QByteArray("-") << QStringList({"/", "/"}) << 0;
    QTest::newRow("saved directories are loaded") << QByteArray("\"c:\\roms\"\r\n\"d:\\mame\"\r\n")
                                                  << QStringList({"c:\\roms", "d:\\mame"}) << 0;
    QTest::newRow("an unreadable file is reported")
        << QByteArray("/") << QStringList({"/", "/"}) << 1;
}

void MainWindowTest::settingsAtStart()
{
    QFETCH(QByteArray, settings);
    QFETCH(QStringList, fields);
    QFETCH(int, reports);
    QFile file(settingsPath());
    if (settings == "/")
        QVERIFY(QDir().mkdir(settingsPath()));
    else if (settings != "-")
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(settings) == settings.size());
    file.close();

    open();

    QCOMPARE(this->fields(), fields);
    QCOMPARE(this->reports->texts.size(), reports);
    if (reports)
        QVERIFY(this->reports->texts[0].contains(settingsPath() + "\n\n21: "));
}

// Loading without a settings file is reported, unlike at start; saving where
// a directory stands is reported. Neither changes the fields.
void MainWindowTest::savedFieldsComeBackAndFailuresAreReported()
{
    open();
    field("origine")->setText("c:\\roms");
    field("destinazione")->setText("d:\\mame");
    click("Command2");
    QCOMPARE(reports->texts.size(), 1);
    QVERIFY(reports->texts[0].contains(settingsPath() + "\n\n2: "));
    QCOMPARE(fields(), QStringList({"c:\\roms", "d:\\mame"}));
    click("cmdsalva");
    fill({"PACMAN.ZIP", "GALAGA.ZIP"}, {1});
    field("origine")->clear();
    field("destinazione")->clear();

    click("Command2");
    QCOMPARE(fields(), QStringList({"c:\\roms", "d:\\mame"}));
    QCOMPARE(entries(), QStringList({"PACMAN.ZIP", "GALAGA.ZIP"}));
    QCOMPARE(selectedRows(), QList<int>({1}));

    QVERIFY(QFile::remove(settingsPath()) && QDir().mkdir(settingsPath()));
    click("cmdsalva");
    QCOMPARE(reports->texts.size(), 2);
    QVERIFY(reports->texts[1].contains(settingsPath()));
    QCOMPARE(fields(), QStringList({"c:\\roms", "d:\\mame"}));
}

void MainWindowTest::extractRunsWhatTheWindowShowsAndLeavesItAsItWas_data()
{
    QTest::addColumn<bool>("folderPerArchive");
    QTest::addColumn<QStringList>("targets");
    QTest::newRow("a folder per archive") << true << QStringList({"PACMAN", "Pac Man"});
    QTest::newRow("into the destination") << false << QStringList({"", ""});
}

void MainWindowTest::extractRunsWhatTheWindowShowsAndLeavesItAsItWas()
{
    QFETCH(bool, folderPerArchive);
    QFETCH(QStringList, targets);
    open();
    const QStringList shown = {fixture->source(), fixture->destination()};
    field("origine")->setText(shown[0]);
    field("destinazione")->setText(shown[1]);
    control<QCheckBox>("checkdir")->setChecked(folderPerArchive);
    fill({"PACMAN.ZIP", "GALAGA.ZIP", "Pac Man.zip"}, {0, 2});

    click("vai");

    QCOMPARE(reports->texts, QStringList());
    const QList<StubRun> runs = fixture->runs();
    QCOMPARE(runs.size(), 2);
    QCOMPARE(runs[0].arguments, fixture->arguments("PACMAN.ZIP", targets[0]));
    QCOMPARE(runs[1].arguments, fixture->arguments("Pac Man.zip", targets[1]));
    QCOMPARE(entries(), QStringList({"PACMAN.ZIP", "GALAGA.ZIP", "Pac Man.zip"}));
    QCOMPARE(selectedRows(), QList<int>({0, 2}));
    QCOMPARE(fields(), shown);
    QCOMPARE(control<QCheckBox>("checkdir")->isChecked(), folderPerArchive);
}

// The stop is told first, then the extractor that had failed before it.
void MainWindowTest::extractReportsAStopAndFailedExtractorsAndGoesOn()
{
    fixture->setEnds({"STREETFIGHTER2.ZIP=3"});
    open();
    field("origine")->setText(fixture->source());
    field("destinazione")->setText(fixture->destination());
    fill({"STREETFIGHTER2.ZIP", "STREETFIGHTER3.ZIP"}, {0, 1});
    window->show();

    click("vai");

    QCOMPARE(reports->texts,
             QStringList({"Impossibile creare la cartella " + fixture->destination() +
                              "/STREETFI\n\n17: File exists",
                          "Alcuni archivi non sono stati scompattati del tutto:\n\n"
                          "STREETFIGHTER2.ZIP: pkunzip terminato con codice 3"}));
    QVERIFY(window->isVisible());
}

void MainWindowTest::manyFailedExtractionsFitOnTheScreenAndAreAllNamed()
{
    const QString extractor = fixture->programDirectory() + "/pkunzip";
    QVERIFY(QFile::remove(extractor) &&
            QFile::link(QStandardPaths::findExecutable("false"), extractor));
    open();
    field("origine")->setText(fixture->source());
    field("destinazione")->setText(fixture->destination());
    control<QCheckBox>("checkdir")->setChecked(false);
    QStringList names;
    QList<int> rows;
    for (int i = 0; i < 300; ++i) {
        names << QStringLiteral("GAME%1.ZIP").arg(i, 3, 10, QLatin1Char('0'));
        rows << i;
    }
    fill(names, rows);

    click("vai");

    QCOMPARE(reports->texts.size(), 1);
    QVERIFY(reports->texts[0].startsWith("Alcuni archivi non sono stati scompattati del tutto:\n\n"
                                         "GAME000.ZIP: pkunzip terminato con codice 1\n"));
    QCOMPARE_LE(reports->heights[0], 768);
    for (const QString &name : names)
        QVERIFY(reports->detailedTexts[0].contains(name + ": pkunzip terminato con codice 1"));
}

// Only its own bytes lead back to a file; a name decoded and encoded again
// would make a stray folder and send the extractor to a file that is not there.
void MainWindowTest::namesThatAreNotUtf8AreListedAndExtractedUnderTheirOwnBytes()
{
    const QString extractor = fixture->programDirectory() + "/pkunzip";
    QVERIFY(QFile::remove(extractor) && QFile::link(PKUNZIP_PATH, extractor));
    QFile archive(QFINDTESTDATA("readme.zip"));
    QVERIFY(archive.open(QIODevice::ReadOnly));
    const std::string content = archive.readAll().toStdString();
    const QByteArray latin1 = "caf\xe9", utf8 = QStringLiteral("città").toUtf8();
    for (const QByteArray &name : {latin1, utf8}) {
        std::ofstream copy((QFile::encodeName(fixture->source() + '/') + name + ".zip").constData(),
                           std::ios::binary);
        QVERIFY(copy << content);
    }
    open();
    field("origine")->setText(fixture->source());
    field("destinazione")->setText(fixture->destination());

    click("refresh");
    QCOMPARE(entries().size(), 2);
    QVERIFY(fileNames().contains(latin1 + ".zip") && fileNames().contains(utf8 + ".zip"));
    click("Tutto");
    click("vai");

    QCOMPARE(reports->texts, QStringList());
    const QByteArray destination = QFile::encodeName(fixture->destination());
    QCOMPARE(entriesOf(destination), QByteArrayList({latin1, utf8}));
    for (const QByteArray &folder : {latin1, utf8})
        QCOMPARE(entriesOf(destination + '/' + folder), QByteArrayList({"readme.txt"}));
}

QTEST_MAIN(MainWindowTest)
#include "mainwindowtest.moc"
