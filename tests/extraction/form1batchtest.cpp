#include "extractionfixture.h"
#include "form1.h"
#include "messageboxcatcher.h"

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QStringListModel>
#include <QTest>

#include <memory>

static void writeSettings(const ExtractionFixture &fixture)
{
    QFile settings(fixture.programDirectory() + QStringLiteral("/ini.ini"));
    if (settings.open(QIODevice::WriteOnly))
        settings.write("\"" + QFile::encodeName(fixture.source()) + "\"\r\n\"" +
                       QFile::encodeName(fixture.destination()) + "\"\r\n");
}

namespace {

// The main window over a fixture, its list filled and some entries selected
// the way the user would leave them before pressing "&Vai!!!".
struct Window
{
    std::unique_ptr<Form1> form;
    QListView *lista = nullptr;
    QLineEdit *origine = nullptr;
    QLineEdit *destinazione = nullptr;

    Window(const ExtractionFixture &fixture, const QStringList &entries,
           const QList<int> &selection)
    {
        // The window loads its settings file when it opens; one is written so
        // that opening goes quietly.
        writeSettings(fixture);
        form = std::make_unique<Form1>(fixture.programDirectory());
        fixture.addArchives(entries);
        lista = form->findChild<QListView *>(QStringLiteral("lista"));
        origine = form->findChild<QLineEdit *>(QStringLiteral("origine"));
        destinazione = form->findChild<QLineEdit *>(QStringLiteral("destinazione"));
        qobject_cast<QStringListModel *>(lista->model())->setStringList(entries);
        for (int row : selection)
            lista->selectionModel()->select(lista->model()->index(row, 0),
                                            QItemSelectionModel::Select);
        origine->setText(fixture.source());
        destinazione->setText(fixture.destination());
        form->show();
    }

    void pressVai() { form->findChild<QPushButton *>(QStringLiteral("vai"))->click(); }

    QList<int> selectedRows() const
    {
        QList<int> rows;
        for (const QModelIndex &index : lista->selectionModel()->selectedIndexes())
            rows << index.row();
        std::sort(rows.begin(), rows.end());
        return rows;
    }

    QStringList entries() const
    {
        return qobject_cast<QStringListModel *>(lista->model())->stringList();
    }
};

} // namespace

class Form1BatchTest : public QObject
{
    Q_OBJECT

private slots:
    void extractsSelectedArchivesAndShowsNothing();
    void leavesTheWindowAsItWas();
    void extractsWithoutFoldersWhenCheckdirIsOff();
    void reportsACollisionAndGoesOn();
    void reportsTheSecondBatchStoppingAtItsFirstFolder();
    void reportsAMissingExtractor();
    void summarisesFailedExtractionsInOneMessage();
    void reportsTheStopAndTheFailuresBeforeIt();
};

void Form1BatchTest::extractsSelectedArchivesAndShowsNothing()
{
    ExtractionFixture fixture;
    QVERIFY(fixture.isValid());
    MessageBoxCatcher catcher;
    Window window(fixture, {"PACMAN.ZIP", "GALAGA.ZIP", "Pac Man.zip"}, {0, 2});

    window.pressVai();

    QVERIFY(catcher.texts.isEmpty());
    QCOMPARE(fixture.destinationEntries(), QStringList({"PACMAN", "Pac Man"}));
    const QList<StubRun> runs = fixture.runs();
    QCOMPARE(runs.size(), 2);
    QCOMPARE(runs[0].arguments,
             QByteArrayList({QFile::encodeName(fixture.source() + "/PACMAN.ZIP"),
                             QFile::encodeName(fixture.destination() + "/PACMAN")}));
    QCOMPARE(runs[1].arguments,
             QByteArrayList({QFile::encodeName(fixture.source() + "/Pac Man.zip"),
                             QFile::encodeName(fixture.destination() + "/Pac Man")}));
}

void Form1BatchTest::leavesTheWindowAsItWas()
{
    ExtractionFixture fixture;
    QVERIFY(fixture.isValid());
    MessageBoxCatcher catcher;
    const QStringList entries = {"PACMAN.ZIP", "GALAGA.ZIP", "DIGDUG.ZIP"};
    Window window(fixture, entries, {0, 2});

    window.pressVai();

    QCOMPARE(window.entries(), entries);
    QCOMPARE(window.selectedRows(), QList<int>({0, 2}));
    QCOMPARE(window.origine->text(), fixture.source());
    QCOMPARE(window.destinazione->text(), fixture.destination());
    QVERIFY(window.form->findChild<QCheckBox *>(QStringLiteral("checkdir"))->isChecked());
}

void Form1BatchTest::extractsWithoutFoldersWhenCheckdirIsOff()
{
    ExtractionFixture fixture;
    QVERIFY(fixture.isValid());
    MessageBoxCatcher catcher;
    Window window(fixture, {"PACMAN.ZIP", ".ZIP"}, {0, 1});
    window.form->findChild<QCheckBox *>(QStringLiteral("checkdir"))->setChecked(false);

    window.pressVai();

    QVERIFY(catcher.texts.isEmpty());
    QVERIFY(fixture.destinationEntries().isEmpty());
    const QList<StubRun> runs = fixture.runs();
    QCOMPARE(runs.size(), 2);
    QCOMPARE(runs[1].arguments, QByteArrayList({QFile::encodeName(fixture.source() + "/.ZIP"),
                                                QFile::encodeName(fixture.destination() + "/")}));
}

void Form1BatchTest::reportsACollisionAndGoesOn()
{
    ExtractionFixture fixture;
    QVERIFY(fixture.isValid());
    MessageBoxCatcher catcher;
    Window window(fixture, {"STREETFIGHTER2.ZIP", "STREETFIGHTER3.ZIP", "PACMAN.ZIP"}, {0, 1, 2});

    window.pressVai();

    QCOMPARE(catcher.texts, QStringList("Impossibile creare la cartella " + fixture.destination() +
                                        "/STREETFI\n\n17: File exists"));
    QCOMPARE(fixture.destinationEntries(), QStringList({"STREETFI"}));
    QCOMPARE(fixture.runs().size(), 1);
    QVERIFY(window.form->isVisible());
}

void Form1BatchTest::reportsTheSecondBatchStoppingAtItsFirstFolder()
{
    ExtractionFixture fixture;
    QVERIFY(fixture.isValid());
    MessageBoxCatcher catcher;
    Window window(fixture, {"PACMAN.ZIP", "GALAGA.ZIP"}, {0, 1});
    window.pressVai();
    QVERIFY(catcher.texts.isEmpty());

    window.pressVai();

    QCOMPARE(catcher.texts, QStringList("Impossibile creare la cartella " + fixture.destination() +
                                        "/PACMAN\n\n17: File exists"));
    QCOMPARE(fixture.runs().size(), 2);
    QCOMPARE(window.selectedRows(), QList<int>({0, 1}));
}

void Form1BatchTest::reportsAMissingExtractor()
{
    ExtractionFixture fixture;
    QVERIFY(fixture.isValid());
    fixture.removeExtractor();
    MessageBoxCatcher catcher;
    Window window(fixture, {"PACMAN.ZIP", "GALAGA.ZIP"}, {0, 1});

    window.pressVai();

    QCOMPARE(catcher.texts, QStringList("Impossibile avviare " + fixture.programDirectory() +
                                        "/pkunzip\n\n2: No such file or directory"));
    QCOMPARE(fixture.destinationEntries(), QStringList({"PACMAN"}));
    QVERIFY(window.form->isVisible());
}

void Form1BatchTest::summarisesFailedExtractionsInOneMessage()
{
    ExtractionFixture fixture;
    QVERIFY(fixture.isValid());
    fixture.setEnds({"GALAGA.ZIP=1", "DIGDUG.ZIP=signal 15"});
    MessageBoxCatcher catcher;
    Window window(fixture, {"PACMAN.ZIP", "GALAGA.ZIP", "DIGDUG.ZIP", "ZAXXON.ZIP"}, {0, 1, 2, 3});

    window.pressVai();

    QCOMPARE(catcher.texts.size(), 1);
    const QStringList lines = catcher.texts[0].split('\n');
    QCOMPARE(lines.mid(2), QStringList({"GALAGA.ZIP: pkunzip terminato con codice 1",
                                        "DIGDUG.ZIP: pkunzip interrotto dal segnale 15 (" +
                                            QString::fromLocal8Bit(strsignal(15)) + ")"}));
    QCOMPARE(fixture.runs().size(), 4);
}

void Form1BatchTest::reportsTheStopAndTheFailuresBeforeIt()
{
    ExtractionFixture fixture;
    QVERIFY(fixture.isValid());
    fixture.setEnds({"STREETFIGHTER2.ZIP=3"});
    MessageBoxCatcher catcher;
    Window window(fixture, {"STREETFIGHTER2.ZIP", "STREETFIGHTER3.ZIP"}, {0, 1});

    window.pressVai();

    QCOMPARE(catcher.texts.size(), 2);
    QVERIFY(catcher.texts[0].startsWith("Impossibile creare la cartella "));
    QVERIFY(catcher.texts[1].endsWith("\nSTREETFIGHTER2.ZIP: pkunzip terminato con codice 3"));
}

QTEST_MAIN(Form1BatchTest)
#include "form1batchtest.moc"
