#include "mainwindow.h"
#include "messageboxcatcher.h"
#include "platform.h"
#include "settingsfile.h"
#include "settingsfixtures.h"

#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QStringListModel>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

class MainWindowSettingsTest : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void startUp_data();
    void startUp();
    void savedFieldsComeBackAndListIsLeftAlone();
    void failureIsReportedAndChangesNothing_data();
    void failureIsReportedAndChangesNothing();

private:
    void openWindow() { window = std::make_unique<MainWindow>(programDirectory->path()); }
    QLineEdit *field(const char *name) const { return window->findChild<QLineEdit *>(name); }
    void click(const char *name) const { window->findChild<QPushButton *>(name)->click(); }
    // Whether exactly one report was shown, naming the settings file and error.
    bool reportedOnce(const QString &error) const
    {
        return reports->texts.size() == 1 && reports->texts.first().contains(settingsPath) &&
               reports->texts.first().contains(error);
    }

    std::unique_ptr<QTemporaryDir> programDirectory;
    QString settingsPath;
    std::unique_ptr<MessageBoxCatcher> reports;
    std::unique_ptr<MainWindow> window;
};

void MainWindowSettingsTest::init()
{
    window.reset();
    programDirectory = std::make_unique<QTemporaryDir>();
    QVERIFY(programDirectory->isValid());
    settingsPath = settingsFilePath(programDirectory->path());
    reports = std::make_unique<MessageBoxCatcher>();
}

void MainWindowSettingsTest::startUp_data()
{
    QTest::addColumn<QString>("settings");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("destination");
    QTest::addColumn<QString>("error"); // in the one report, or empty for none

    const QString root = platform::rootText;
    QTest::newRow("a first run opens quietly with the initial texts")
        << QStringLiteral("nothing") << root << root << QString();
    QTest::newRow("saved directories are loaded")
        << QStringLiteral("roms and mame") << QStringLiteral("c:\\roms")
        << QStringLiteral("d:\\mame") << QString();
    QTest::newRow("too few fields are reported")
        << QStringLiteral("one field") << root << root << QStringLiteral("61: ");
    QTest::newRow("an unreadable file is reported")
        << QStringLiteral("directory") << root << root << QStringLiteral("21: ");
}

void MainWindowSettingsTest::startUp()
{
    QFETCH(QString, settings);
    QFETCH(QString, source);
    QFETCH(QString, destination);
    QFETCH(QString, error);
    QVERIFY(leaveSettings(settingsPath, settings));

    openWindow();

    QCOMPARE(field("origine")->text(), source);
    QCOMPARE(field("destinazione")->text(), destination);
    QVERIFY2(error.isEmpty() ? reports->texts.isEmpty() : reportedOnce(error),
             qPrintable(reports->texts.join(QLatin1Char('|'))));
}

void MainWindowSettingsTest::savedFieldsComeBackAndListIsLeftAlone()
{
    openWindow();
    field("origine")->setText(QStringLiteral("c:\\roms"));
    field("destinazione")->setText(QStringLiteral("d:\\mame"));
    click("cmdsalva");

    auto *lista = window->findChild<QListView *>(QStringLiteral("lista"));
    const QStringList entries{QStringLiteral("PACMAN.ZIP"), QStringLiteral("GALAGA.ZIP"),
                              QStringLiteral("1942.ZIP")};
    qobject_cast<QStringListModel *>(lista->model())->setStringList(entries);
    lista->selectionModel()->select(lista->model()->index(1, 0), QItemSelectionModel::Select);
    field("origine")->clear();
    field("destinazione")->clear();
    click("Command2");

    QCOMPARE(field("origine")->text(), QStringLiteral("c:\\roms"));
    QCOMPARE(field("destinazione")->text(), QStringLiteral("d:\\mame"));
    QCOMPARE(qobject_cast<QStringListModel *>(lista->model())->stringList(), entries);
    QCOMPARE(lista->selectionModel()->selectedRows(), QModelIndexList{lista->model()->index(1, 0)});
    QCOMPARE(reports->texts, QStringList());
}

void MainWindowSettingsTest::failureIsReportedAndChangesNothing_data()
{
    QTest::addColumn<QString>("settings");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("error");

    QTest::newRow("loading without a settings file")
        << QStringLiteral("nothing") << QStringLiteral("Command2") << QStringLiteral("2: ");
    QTest::newRow("loading one field")
        << QStringLiteral("one field") << QStringLiteral("Command2") << QStringLiteral("61: ");
    QTest::newRow("saving a file that cannot grow")
        << QStringLiteral("roms and mame") << QStringLiteral("cmdsalva") << QStringLiteral("27: ");
}

void MainWindowSettingsTest::failureIsReportedAndChangesNothing()
{
    QFETCH(QString, settings);
    QFETCH(QString, button);
    QFETCH(QString, error);
    openWindow();
    QVERIFY(leaveSettings(settingsPath, settings));
    const QByteArray settingsBefore = contentOf(settingsPath);
    field("origine")->setText(QStringLiteral("/typed/source"));
    field("destinazione")->setText(QStringLiteral("/typed/destination"));
    {
        NoFileGrowth noGrowth;
        click(button.toLatin1());
    }

    QVERIFY2(reportedOnce(error), qPrintable(reports->texts.join(QLatin1Char('|'))));
    QCOMPARE(field("origine")->text(), QStringLiteral("/typed/source"));
    QCOMPARE(field("destinazione")->text(), QStringLiteral("/typed/destination"));
    QCOMPARE(contentOf(settingsPath), settingsBefore);
}

QTEST_MAIN(MainWindowSettingsTest)
#include "mainwindowsettingstest.moc"
