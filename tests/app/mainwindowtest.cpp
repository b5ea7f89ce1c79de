// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "mainwindow.h"
#include "archivenamesmodel.h"
#include "extractionfixture.h"
#include "messageboxcatcher.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <sys/stat.h>

// The buttons whose design names do not say what they do.
static const char *const exitButton = "Command1";
static const char *const loadSettingsButton = "Command2";

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
    void settingsAreLoadedSavedAndTheirFailuresReported();
    void eachCopyKeepsItsSettingsInItsOwnPlace_data();
    void eachCopyKeepsItsSettingsInItsOwnPlace();
    void aFifoSettingsFileIsReportedWithoutWaiting();
    void everyControlOfBothWindowsHasAnAccessibleName();
    void extractRunsWhatTheWindowShowsAndLeavesItAsItWas_data();
    void extractRunsWhatTheWindowShowsAndLeavesItAsItWas();
    void extractReportsAStopAndFailedExtractorsAndGoesOn();
    void manyFailedExtractionsFitOnTheScreenAndAreAllNamed();
    void duringABatchTheWindowPaintsButActsOnNoInput();
    void namesThatAreNotUtf8AreListedAndExtractedUnderTheirOwnBytes();

private:
    void open(ProgramCopy copy = ProgramCopy::Portable)
    {
        window = std::make_unique<MainWindow>(fixture->programDirectory(), copy);
    }
    // Opened with the fixture's source and destination in the fields.
    void openOnFixture()
    {
        open();
        field("origine")->setText(fixture->source());
        field("destinazione")->setText(fixture->destination());
    }
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
    const QColor shown = contactColour();
    // The generator's first draws: 0.8147, 0.1355 and 0.9058, each times 120.
    QCOMPARE(shown, QColor(98, 16, 109));
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
    QTimer::singleShot(0, [&] { byButton ? click(exitButton) : void(window->close()); });
    // Gone with the test, so it cannot end a later test's event loop.
    const QObject timeOut;
    QTimer::singleShot(5000, &timeOut, [] { QCoreApplication::exit(99); });
    QCOMPARE(QCoreApplication::exec(), 0);
}

void MainWindowTest::refreshListsArchivesUnselectedAndReportsAMissingDirectory()
{
    for (const char *name : {"GAME1.ZIP", "readme.txt"})
        QVERIFY(QFile(fixture->source() + '/' + name).open(QIODevice::WriteOnly));
    open();
    field("origine")->setText(fixture->source());
    click("refresh");
    QCOMPARE(fileNames(), QByteArrayList({"GAME1.ZIP"}));
    click("Tutto");
    click("refresh");
    QCOMPARE(selectedRows(), QList<int>());

    const QString missing = fixture->source() + "/missing";
    field("origine")->setText(missing);
    QCOMPARE(fileNames(), QByteArrayList({"GAME1.ZIP"}));
    click("refresh");
    QCOMPARE(fileNames(), QByteArrayList());
    QCOMPARE(reports->texts, QStringList("Impossibile leggere la directory " + missing +
                                         "\n\n2: No such file or directory"));
}

void MainWindowTest::selectAllAndDeselectAllChangeOnlyTheSelection()
{
    open();
    click("Tutto");
    fill({"a.zip", "b.zip", "c.zip"}, {1});
    auto *list = control<QListView>("lista");
    QCOMPARE(list->selectionMode(), QAbstractItemView::MultiSelection);
    list->setCurrentIndex(list->model()->index(1, 0));

    click("Tutto");
    QCOMPARE(selectedRows(), QList<int>({0, 1, 2}));
    click("niente");
    QCOMPARE(selectedRows(), QList<int>());
    QCOMPARE(list->currentIndex().row(), 1);
    QCOMPARE(fileNames(), QByteArrayList({"a.zip", "b.zip", "c.zip"}));
}

// A first run opens quietly with the initial texts; what is saved comes back
// at the next start and through the button. Loading without a settings file
// is reported, unlike at start, and so are saving where a directory stands and
// an unreadable file at start. No failure changes the fields.
void MainWindowTest::settingsAreLoadedSavedAndTheirFailuresReported()
{
    open();
    QCOMPARE(fields(), QStringList({"/", "/"}));
    field("origine")->setText("c:\\roms");
    field("destinazione")->setText("d:\\mame");
    click(loadSettingsButton);
    QCOMPARE(reports->texts.size(), 1);
    QVERIFY(reports->texts[0].contains(settingsPath() + "\n\n2: "));
    QCOMPARE(fields(), QStringList({"c:\\roms", "d:\\mame"}));
    click("cmdsalva");
    open();
    QCOMPARE(fields(), QStringList({"c:\\roms", "d:\\mame"}));
    fill({"PACMAN.ZIP", "GALAGA.ZIP"}, {1});
    field("origine")->clear();
    field("destinazione")->clear();

    click(loadSettingsButton);
    QCOMPARE(fields(), QStringList({"c:\\roms", "d:\\mame"}));
    QCOMPARE(fileNames(), QByteArrayList({"PACMAN.ZIP", "GALAGA.ZIP"}));
    QCOMPARE(selectedRows(), QList<int>({1}));

    QVERIFY(QFile::remove(settingsPath()) && QDir().mkdir(settingsPath()));
    click("cmdsalva");
    QCOMPARE(reports->texts.size(), 2);
    QVERIFY(reports->texts[1].contains(settingsPath()));
    QCOMPARE(fields(), QStringList({"c:\\roms", "d:\\mame"}));
    open();
    QCOMPARE(reports->texts.size(), 3);
    QVERIFY(reports->texts[2].contains(settingsPath() + "\n\n21: "));
    QCOMPARE(fields(), QStringList({"/", "/"}));
}

// The tests run with the right to write beside the program, as root has
// beside an installed copy.
void MainWindowTest::eachCopyKeepsItsSettingsInItsOwnPlace_data()
{
    QTest::addColumn<bool>("installed");
    QTest::addColumn<QStringList>("atStart");
    QTest::addColumn<QString>("savedTo");
    QTest::newRow("a portable copy keeps them beside itself")
        << false << QStringList{"/beside", "/beside"} << "program/ini.ini";
    QTest::newRow("an installed copy that may write beside itself keeps them in the user's folder")
        << true << QStringList{"/", "/"} << "config/vrillo/ini.ini";
}

void MainWindowTest::eachCopyKeepsItsSettingsInItsOwnPlace()
{
    QFETCH(bool, installed);
    QFETCH(QStringList, atStart);
    QFETCH(QString, savedTo);
    const QByteArray beside = "\"/beside\"\r\n\"/beside\"\r\n";
    QFile besideFile(settingsPath());
    QVERIFY(besideFile.open(QIODevice::WriteOnly) && besideFile.write(beside) == beside.size());
    besideFile.close();
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(fixture->root() + "/config"));

    open(installed ? ProgramCopy::Installed : ProgramCopy::Portable);
    QCOMPARE(fields(), atStart);
    field("origine")->setText("c:\\roms");
    click("cmdsalva");

    qunsetenv("XDG_CONFIG_HOME");
    QCOMPARE(reports->texts, QStringList());
    QFile saved(fixture->root() + '/' + savedTo);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QVERIFY(saved.readAll().startsWith("\"c:\\roms\"\r\n"));
    QVERIFY(besideFile.open(QIODevice::ReadOnly));
    QCOMPARE(besideFile.readAll() == beside, installed);
}

// The window's own start-up and "&Carica Impostazioni" are what must not wait
// for a writer that never comes; if they did, Qt Test's watchdog would end
// the test (QTEST_FUNCTION_TIMEOUT, set in CMakeLists.txt).
void MainWindowTest::aFifoSettingsFileIsReportedWithoutWaiting()
{
    QCOMPARE(mkfifo(QFile::encodeName(settingsPath()).constData(), 0600), 0);

    open();
    click(loadSettingsButton);

    QCOMPARE(reports->texts.size(), 2);
    for (const QString &report : reports->texts)
        QVERIFY2(report.contains(settingsPath() + "\n\n22: "), qPrintable(report));
    QCOMPARE(fields(), QStringList({"/", "/"}));
}

// What a screen reader says for each control of the main window and of the
// picker it opens; the visible texts are checked elsewhere.
void MainWindowTest::everyControlOfBothWindowsHasAnAccessibleName()
{
    open();
    click("browse");
    const QWidgetList windows = QApplication::topLevelWidgets();
    const auto picker = std::find_if(windows.cbegin(), windows.cend(), [](const QWidget *shown) {
        return shown->objectName() == "apri";
    });
    QVERIFY(picker != windows.cend());

    for (const QWidget *shown : {static_cast<QWidget *>(window.get()), *picker})
        for (QWidget *child : shown->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
            QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(child);
            QVERIFY2(accessible && !accessible->text(QAccessible::Name).isEmpty(),
                     qPrintable(child->objectName()));
        }
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
    openOnFixture();
    control<QCheckBox>("checkdir")->setChecked(folderPerArchive);
    fill({"PACMAN.ZIP", "GALAGA.ZIP", "Pac Man.zip"}, {0, 2});

    click("vai");

    QCOMPARE(reports->texts, QStringList());
    const QList<StubRun> runs = fixture->runs();
    QCOMPARE(runs.size(), 2);
    QCOMPARE(runs[0].arguments, fixture->arguments("PACMAN.ZIP", targets[0]));
    QCOMPARE(runs[1].arguments, fixture->arguments("Pac Man.zip", targets[1]));
    QCOMPARE(fileNames(), QByteArrayList({"PACMAN.ZIP", "GALAGA.ZIP", "Pac Man.zip"}));
    QCOMPARE(selectedRows(), QList<int>({0, 2}));
    QCOMPARE(fields(), QStringList({fixture->source(), fixture->destination()}));
    QCOMPARE(control<QCheckBox>("checkdir")->isChecked(), folderPerArchive);
}

// The stop is told first, then what it left untouched, then the extractor
// that had failed before it, all in one message.
void MainWindowTest::extractReportsAStopAndFailedExtractorsAndGoesOn()
{
    fixture->setEnds({"STREETFIGHTER2.ZIP=3"});
    openOnFixture();
    fill({"STREETFIGHTER2.ZIP", "STREETFIGHTER3.ZIP"}, {0, 1});
    window->show();

    click("vai");

    QCOMPARE(reports->texts,
             QStringList("Impossibile creare la cartella " + fixture->destination() +
                         "/STREETFI\n\n17: File exists\n\n"
                         "1 archivio selezionato non è stato scompattato: STREETFIGHTER3.ZIP.\n\n"
                         "Alcuni archivi non sono stati scompattati del tutto:\n\n"
                         "STREETFIGHTER2.ZIP: pkunzip terminato con codice 3"));
    QVERIFY(window->isVisible());
}

// Each extractor writes some 300 KB of long reasons.
void MainWindowTest::manyFailedExtractionsFitOnTheScreenAndAreAllNamed()
{
    QFile extractor(fixture->programDirectory() + "/pkunzip");
    QVERIFY(extractor.remove() && extractor.open(QIODevice::WriteOnly));
    extractor.write("#!/bin/sh\nyes \"${1##*/}: un membro dal nome lunghissimo, troppo lungo per "
                    "stare su una sola riga del messaggio.bin: dati danneggiati\" | head -n 3000 "
                    ">&2\nexit 1\n");
    extractor.close();
    QVERIFY(extractor.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    openOnFixture();
    control<QCheckBox>("checkdir")->setChecked(false);
    QStringList names;
    for (int i = 0; i < 300; ++i)
        names << QStringLiteral("GAME%1.ZIP").arg(i, 3, 10, QLatin1Char('0'));
    fill(names, {});
    click("Tutto");

    click("vai");

    QCOMPARE(reports->texts.size(), 1);
    QVERIFY(reports->texts[0].startsWith("Alcuni archivi non sono stati scompattati del tutto:\n\n"
                                         "GAME000.ZIP: pkunzip non ha scritto alcuni file\n"
                                         "    GAME000.ZIP: un membro dal nome"));
    QCOMPARE_LE(reports->heights[0], 768);
    for (const QString &name : names)
        QVERIFY(reports->detailedTexts[0].contains(name +
                                                   ": pkunzip non ha scritto alcuni file\n    " +
                                                   name + ": un membro dal nome lunghissimo"));
}

namespace {

struct PaintCounter : QObject
{
    int paints = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        paints += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
};

} // namespace

// Each extractor runs for a second. While the first runs, the window is asked
// to repaint, "Vai!!!" is clicked, "Salva Impostazioni" is pressed by its key,
// both are pressed as a screen reader presses them, through their accessible
// action, which is no input event, a text is dragged and dropped on a field,
// and the window is closed; while the second runs, what happened is read.
void MainWindowTest::duringABatchTheWindowPaintsButActsOnNoInput()
{
    fixture->setRunTime("1");
    fixture->setEnds({"GALAGA.ZIP=1"});
    openOnFixture();
    fill({"PACMAN.ZIP", "GALAGA.ZIP"}, {0, 1});
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    PaintCounter counter;
    window->installEventFilter(&counter);
    QSignalSpy vaiClicks(control<QAbstractButton>("vai"), &QAbstractButton::clicked);
    QColor colourAtFirst;
    bool busyCursor = false;
    int paints = 0;
    qsizetype runsBySecond = 0;
    QColor colourBySecond;

    QTimer::singleShot(0, [&] { click("vai"); });
    QTimer::singleShot(300, [&] {
        colourAtFirst = contactColour();
        busyCursor = QApplication::overrideCursor() &&
                     QApplication::overrideCursor()->shape() == Qt::WaitCursor;
        counter.paints = 0;
        window->update();
        QTest::mouseClick(control("vai"), Qt::LeftButton);
        QTest::keyClick(window.get(), Qt::Key_S, Qt::AltModifier);
        for (const char *name : {"vai", "cmdsalva"})
            QAccessible::queryAccessibleInterface(control(name))
                ->actionInterface()
                ->doAction(QAccessibleActionInterface::pressAction());
        QMimeData text;
        text.setText("/dropped");
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(field("destinazione"), &enter);
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(field("destinazione"), &drop);
        window->close();
    });
    QTimer::singleShot(1500, [&] {
        paints = counter.paints;
        runsBySecond = fixture->runs().size();
        colourBySecond = contactColour();
    });
    const QObject timeOut;
    QTimer::singleShot(10000, &timeOut, [] { QCoreApplication::exit(99); });

    QCOMPARE(QCoreApplication::exec(), 0);
    // The click that started the batch and the screen reader's, which started nothing.
    QCOMPARE(vaiClicks.count(), 2);
    QVERIFY(!QFile::exists(settingsPath()));
    QCOMPARE(runsBySecond, 1);
    QCOMPARE(fixture->runs().size(), 2);
    QCOMPARE(field("destinazione")->text(), fixture->destination());
    QCOMPARE_GT(paints, 0);
    QVERIFY(colourBySecond != colourAtFirst);
    QVERIFY(busyCursor);
    QCOMPARE(reports->texts, QStringList("Alcuni archivi non sono stati scompattati del tutto:\n\n"
                                         "GALAGA.ZIP: pkunzip non ha scritto alcuni file"));
    QVERIFY(!QApplication::overrideCursor());
}

// Only its own bytes lead back to a file; a name decoded and encoded again
// would make a stray folder and send the extractor to a file that is not there.
void MainWindowTest::namesThatAreNotUtf8AreListedAndExtractedUnderTheirOwnBytes()
{
    const QString extractor = fixture->programDirectory() + "/pkunzip";
    QVERIFY(QFile::remove(extractor) && QFile::link(PKUNZIP_PATH, extractor));
    const QByteArray latin1 = "caf\xe9", utf8 = QStringLiteral("città").toUtf8();
    for (const QByteArray &name : {latin1, utf8})
        QVERIFY(std::filesystem::copy_file(
            QFile::encodeName(QFINDTESTDATA("readme.zip")).toStdString(),
            (QFile::encodeName(fixture->source() + '/') + name + ".zip").toStdString()));
    openOnFixture();

    click("refresh");
    QCOMPARE(fileNames().size(), 2);
    QVERIFY(fileNames().contains(latin1 + ".zip") && fileNames().contains(utf8 + ".zip"));
    click("Tutto");
    click("vai");

    QCOMPARE(reports->texts, QStringList());
    const std::filesystem::directory_iterator folders(
        QFile::encodeName(fixture->destination()).toStdString());
    QCOMPARE(std::distance(folders, {}), 2);
    for (const QByteArray &folder : {latin1, utf8})
        QVERIFY(std::filesystem::is_regular_file(
            (QFile::encodeName(fixture->destination() + '/') + folder + "/readme.txt")
                .toStdString()));
}

QTEST_MAIN(MainWindowTest)
#include "mainwindowtest.moc"
