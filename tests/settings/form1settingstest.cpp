#include "form1.h"
#include "messageboxcatcher.h"
#include "nofilegrowth.h"
#include "platform.h"

#include <QDir>
#include <QFile>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QStringListModel>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

const QByteArray romsAndMame("\"c:\\roms\"\r\n\"d:\\mame\"\r\n");

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("<unreadable>");
    return file.readAll();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

class Form1SettingsTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void firstRunOpensQuietlyWithInitialTexts();
    void startUpLoadsSavedDirectories();
    void startUpFailureIsReported_data();
    void startUpFailureIsReported();
    void saveWritesBothFields();
    void loadReplacesFieldsAndLeavesListAlone();
    void failedLoadKeepsFields_data();
    void failedLoadKeepsFields();
    void failedSaveIsReportedAndKeepsPreviousFile();
    void saveIntoMissingDirectoryIsReported();

private:
    void openWindow();
    QLineEdit *field(const char *name) const { return window->findChild<QLineEdit *>(name); }
    void click(const char *name) const { window->findChild<QPushButton *>(name)->click(); }
    void prepare(const QString &setUp);

    std::unique_ptr<QTemporaryDir> programDirectory;
    QString settingsPath;
    std::unique_ptr<MessageBoxCatcher> reports;
    std::unique_ptr<Form1> window;
};

void Form1SettingsTest::init()
{
    programDirectory = std::make_unique<QTemporaryDir>();
    QVERIFY(programDirectory->isValid());
    settingsPath = programDirectory->filePath(platform::settingsFileName);
    reports = std::make_unique<MessageBoxCatcher>();
}

void Form1SettingsTest::cleanup()
{
    window.reset();
    reports.reset();
    programDirectory.reset();
}

void Form1SettingsTest::openWindow()
{
    window = std::make_unique<Form1>(programDirectory->path());
}

// Leaves in the program directory a settings file that cannot be loaded.
void Form1SettingsTest::prepare(const QString &setUp)
{
    if (setUp == QLatin1String("one field"))
        QVERIFY(writeFile(settingsPath, "\"c:\\roms\"\r\n"));
    else if (setUp == QLatin1String("empty"))
        QVERIFY(writeFile(settingsPath, QByteArray()));
    else if (setUp == QLatin1String("directory"))
        QVERIFY(QDir().mkdir(settingsPath));
}

void Form1SettingsTest::firstRunOpensQuietlyWithInitialTexts()
{
    openWindow();
    QCOMPARE(field("origine")->text(), platform::rootText);
    QCOMPARE(field("destinazione")->text(), platform::rootText);
    QCOMPARE(reports->texts, QStringList());
}

void Form1SettingsTest::startUpLoadsSavedDirectories()
{
    QVERIFY(writeFile(settingsPath, romsAndMame));
    openWindow();
    QCOMPARE(field("origine")->text(), QStringLiteral("c:\\roms"));
    QCOMPARE(field("destinazione")->text(), QStringLiteral("d:\\mame"));
    QCOMPARE(reports->texts, QStringList());
}

void Form1SettingsTest::startUpFailureIsReported_data()
{
    QTest::addColumn<QString>("setUp");
    QTest::addColumn<QString>("errorText");

    QTest::newRow("one field") << QStringLiteral("one field") << QStringLiteral("61: ");
    QTest::newRow("empty file") << QStringLiteral("empty") << QStringLiteral("61: ");
    QTest::newRow("unreadable file") << QStringLiteral("directory") << QStringLiteral("21: ");
}

void Form1SettingsTest::startUpFailureIsReported()
{
    QFETCH(QString, setUp);
    QFETCH(QString, errorText);
    prepare(setUp);

    openWindow();

    QCOMPARE(reports->texts.size(), 1);
    QVERIFY2(reports->texts.first().contains(settingsPath), qPrintable(reports->texts.first()));
    QVERIFY2(reports->texts.first().contains(errorText), qPrintable(reports->texts.first()));
    QCOMPARE(field("origine")->text(), platform::rootText);
    QCOMPARE(field("destinazione")->text(), platform::rootText);
}

void Form1SettingsTest::saveWritesBothFields()
{
    openWindow();
    field("origine")->setText(QStringLiteral("c:\\roms"));
    field("destinazione")->setText(QStringLiteral("d:\\mame"));

    click("cmdsalva");
    click("cmdsalva");

    QCOMPARE(contentOf(settingsPath), romsAndMame);
    QCOMPARE(reports->texts, QStringList());
}

void Form1SettingsTest::loadReplacesFieldsAndLeavesListAlone()
{
    openWindow();
    auto *lista = window->findChild<QListView *>(QStringLiteral("lista"));
    const QStringList entries{QStringLiteral("PACMAN.ZIP"), QStringLiteral("GALAGA.ZIP"),
                              QStringLiteral("1942.ZIP")};
    qobject_cast<QStringListModel *>(lista->model())->setStringList(entries);
    lista->selectionModel()->select(lista->model()->index(1, 0), QItemSelectionModel::Select);
    QVERIFY(writeFile(settingsPath, "\"/giochi, vecchi\",\" /dest \"\r\n"));

    click("Command2");

    QCOMPARE(field("origine")->text(), QStringLiteral("/giochi, vecchi"));
    QCOMPARE(field("destinazione")->text(), QStringLiteral(" /dest "));
    QCOMPARE(qobject_cast<QStringListModel *>(lista->model())->stringList(), entries);
    QCOMPARE(lista->selectionModel()->selectedRows().size(), 1);
    QCOMPARE(lista->selectionModel()->selectedRows().first().row(), 1);
    QCOMPARE(reports->texts, QStringList());
}

void Form1SettingsTest::failedLoadKeepsFields_data()
{
    QTest::addColumn<QString>("setUp");

    QTest::newRow("no settings file") << QStringLiteral("nothing");
    QTest::newRow("one field") << QStringLiteral("one field");
    QTest::newRow("empty file") << QStringLiteral("empty");
    QTest::newRow("unreadable file") << QStringLiteral("directory");
}

void Form1SettingsTest::failedLoadKeepsFields()
{
    QFETCH(QString, setUp);
    openWindow();
    prepare(setUp);
    field("origine")->setText(QStringLiteral("/typed/source"));
    field("destinazione")->setText(QStringLiteral("/typed/destination"));

    click("Command2");

    QCOMPARE(reports->texts.size(), 1);
    QVERIFY2(reports->texts.first().contains(settingsPath), qPrintable(reports->texts.first()));
    QCOMPARE(field("origine")->text(), QStringLiteral("/typed/source"));
    QCOMPARE(field("destinazione")->text(), QStringLiteral("/typed/destination"));
}

void Form1SettingsTest::failedSaveIsReportedAndKeepsPreviousFile()
{
    QVERIFY(writeFile(settingsPath, romsAndMame));
    openWindow();
    field("origine")->setText(QStringLiteral("/new/source"));
    {
        NoFileGrowth noGrowth;
        QVERIFY(noGrowth.active);
        click("cmdsalva");
    }

    QCOMPARE(reports->texts.size(), 1);
    QVERIFY2(reports->texts.first().contains(settingsPath), qPrintable(reports->texts.first()));
    QVERIFY2(reports->texts.first().contains(QStringLiteral("27: ")),
             qPrintable(reports->texts.first()));
    QCOMPARE(contentOf(settingsPath), romsAndMame);
}

void Form1SettingsTest::saveIntoMissingDirectoryIsReported()
{
    const QString missingDirectory = programDirectory->filePath(QStringLiteral("gone"));
    window = std::make_unique<Form1>(missingDirectory);

    click("cmdsalva");

    QCOMPARE(reports->texts.size(), 1);
    QVERIFY2(reports->texts.first().contains(missingDirectory), qPrintable(reports->texts.first()));
    QVERIFY2(reports->texts.first().contains(QStringLiteral("2: ")),
             qPrintable(reports->texts.first()));
    QVERIFY(!QFileInfo::exists(missingDirectory));
}

QTEST_MAIN(Form1SettingsTest)
#include "form1settingstest.moc"
