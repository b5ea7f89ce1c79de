#include "extractionfixture.h"
#include "mainwindow.h"
#include "messageboxcatcher.h"

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QStringListModel>
#include <QTest>

#include <csignal>
#include <cstring>
#include <memory>

namespace {

// The main window over a fixture, its list filled and some entries selected
// the way the user would leave them before pressing "&Vai!!!".
struct Window
{
    std::unique_ptr<MainWindow> form;
    QListView *lista = nullptr;
    QCheckBox *checkdir = nullptr;

    Window(const ExtractionFixture &fixture, const QStringList &entries,
           const QList<int> &selection)
    {
        // The window opens with both directories from its settings file.
        QFile settings(fixture.programDirectory() + "/ini.ini");
        if (settings.open(QIODevice::WriteOnly))
            settings.write("\"" + QFile::encodeName(fixture.source()) + "\"\r\n\"" +
                           QFile::encodeName(fixture.destination()) + "\"\r\n");
        settings.close();
        form = std::make_unique<MainWindow>(fixture.programDirectory());
        lista = form->findChild<QListView *>("lista");
        checkdir = form->findChild<QCheckBox *>("checkdir");
        qobject_cast<QStringListModel *>(lista->model())->setStringList(entries);
        for (int row : selection)
            lista->selectionModel()->select(lista->model()->index(row, 0),
                                            QItemSelectionModel::Select);
        form->show();
    }

    void pressVai() { form->findChild<QPushButton *>("vai")->click(); }
};

} // namespace

class MainWindowBatchTest : public QObject
{
    Q_OBJECT

private slots:
    void runsWhatTheWindowShowsAndLeavesItAsItWas_data();
    void runsWhatTheWindowShowsAndLeavesItAsItWas();
    void reportsInMessageBoxesAndGoesOn_data();
    void reportsInMessageBoxesAndGoesOn();
};

void MainWindowBatchTest::runsWhatTheWindowShowsAndLeavesItAsItWas_data()
{
    QTest::addColumn<bool>("checkdir");
    QTest::addColumn<QStringList>("folders");
    QTest::addColumn<QStringList>("targets");

    QTest::newRow("checked") << true << QStringList({"PACMAN", "Pac Man"})
                             << QStringList({"PACMAN", "Pac Man"});
    QTest::newRow("unchecked") << false << QStringList() << QStringList({"", ""});
}

void MainWindowBatchTest::runsWhatTheWindowShowsAndLeavesItAsItWas()
{
    QFETCH(bool, checkdir);
    QFETCH(QStringList, folders);
    QFETCH(QStringList, targets);
    ExtractionFixture fixture;
    QVERIFY(fixture.isValid());
    MessageBoxCatcher catcher;
    const QStringList entries = {"PACMAN.ZIP", "GALAGA.ZIP", "Pac Man.zip"};
    Window window(fixture, entries, {0, 2});
    window.checkdir->setChecked(checkdir);
    const QModelIndexList selection = window.lista->selectionModel()->selectedIndexes();

    window.pressVai();

    QVERIFY(catcher.texts.isEmpty());
    QCOMPARE(ExtractionFixture::entriesOf(fixture.destination()), folders);
    const QList<StubRun> runs = fixture.runs();
    QCOMPARE(runs.size(), 2);
    QCOMPARE(runs[0].arguments, fixture.arguments("PACMAN.ZIP", targets[0]));
    QCOMPARE(runs[1].arguments, fixture.arguments("Pac Man.zip", targets[1]));
    QCOMPARE(qobject_cast<QStringListModel *>(window.lista->model())->stringList(), entries);
    QCOMPARE(window.lista->selectionModel()->selectedIndexes(), selection);
    QCOMPARE(window.form->findChild<QLineEdit *>("origine")->text(), fixture.source());
    QCOMPARE(window.form->findChild<QLineEdit *>("destinazione")->text(), fixture.destination());
    QCOMPARE(window.checkdir->isChecked(), checkdir);
}

// Every entry is selected. In the messages, $ROOT stands for the fixture.
void MainWindowBatchTest::reportsInMessageBoxesAndGoesOn_data()
{
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QStringList>("ends");
    QTest::addColumn<int>("presses");
    QTest::addColumn<bool>("extractorPresent");
    QTest::addColumn<QStringList>("messages");

    const QString collision = "Impossibile creare la cartella $ROOT/games/%1\n\n17: File exists";
    const QString summary = "Alcuni archivi non sono stati scompattati del tutto:\n\n";
    QTest::newRow("a collision") << QStringList(
                                        {"STREETFIGHTER2.ZIP", "STREETFIGHTER3.ZIP", "PACMAN.ZIP"})
                                 << QStringList() << 1 << true
                                 << QStringList(collision.arg("STREETFI"));
    QTest::newRow("a second batch") << QStringList({"PACMAN.ZIP", "GALAGA.ZIP"}) << QStringList()
                                    << 2 << true << QStringList(collision.arg("PACMAN"));
    QTest::newRow("a missing extractor")
        << QStringList({"PACMAN.ZIP", "GALAGA.ZIP"}) << QStringList() << 1 << false
        << QStringList("Impossibile avviare $ROOT/program/pkunzip\n\n2: No such file or directory");
    QTest::newRow("failed extractors, in one message")
        << QStringList({"PACMAN.ZIP", "GALAGA.ZIP", "DIGDUG.ZIP", "ZAXXON.ZIP"})
        << QStringList({"GALAGA.ZIP=1", "DIGDUG.ZIP=signal 15"}) << 1 << true
        << QStringList(summary + "GALAGA.ZIP: pkunzip terminato con codice 1\n" +
                       "DIGDUG.ZIP: pkunzip interrotto dal segnale 15 (" +
                       QString::fromLocal8Bit(strsignal(SIGTERM)) + ")");
    QTest::newRow("a stop after a failed extractor")
        << QStringList({"STREETFIGHTER2.ZIP", "STREETFIGHTER3.ZIP"})
        << QStringList({"STREETFIGHTER2.ZIP=3"}) << 1 << true
        << QStringList({collision.arg("STREETFI"),
                        summary + "STREETFIGHTER2.ZIP: pkunzip terminato con codice 3"});
}

void MainWindowBatchTest::reportsInMessageBoxesAndGoesOn()
{
    QFETCH(QStringList, entries);
    QFETCH(QStringList, ends);
    QFETCH(int, presses);
    QFETCH(bool, extractorPresent);
    QFETCH(QStringList, messages);
    ExtractionFixture fixture;
    QVERIFY(fixture.isValid());
    fixture.setEnds(ends);
    if (!extractorPresent)
        QFile::remove(fixture.programDirectory() + "/pkunzip");
    MessageBoxCatcher catcher;
    Window window(fixture, entries, {});
    window.lista->selectAll();

    for (int i = 0; i < presses; ++i)
        window.pressVai();

    QCOMPARE(catcher.texts, messages.replaceInStrings("$ROOT", fixture.root()));
    QVERIFY(window.form->isVisible());
}

QTEST_MAIN(MainWindowBatchTest)
#include "mainwindowbatchtest.moc"
