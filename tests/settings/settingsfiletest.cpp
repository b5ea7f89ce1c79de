#include "settingsfile.h"
#include "nofilegrowth.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>

namespace {

const QByteArray romsAndMame = QByteArray::fromHex("22633A5C726F6D73220D0A22643A5C6D616D65220D0A");
const SavedDirectories romsAndMameTexts{QStringLiteral("c:\\roms"), QStringLiteral("d:\\mame")};

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("<unreadable>");
    return file.readAll();
}

bool saves(const QString &path, const SavedDirectories &directories)
{
    const std::optional<Failure> failure = saveSettingsFile(path, directories);
    if (failure)
        qWarning() << failure->operation << failure->number << failure->text;
    return !failure;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

class SettingsFileTest : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void settingsFileLiesInProgramDirectory();
    void saveWritesExactBytes();
    void savingTwiceGivesTheSameBytes();
    void savingReplacesALongerFile();
    void loadReadsWhatSaveWrote();
    void doubledSeparatorNamesTheSameFile();
    void loadFailures_data();
    void loadFailures();
    void failedWriteLeavesPreviousFileIntact();
    void saveIntoMissingDirectoryFails();

private:
    std::unique_ptr<QTemporaryDir> programDirectory;
    QString path;
};

void SettingsFileTest::init()
{
    programDirectory = std::make_unique<QTemporaryDir>();
    QVERIFY(programDirectory->isValid());
    path = settingsFilePath(programDirectory->path());
}

void SettingsFileTest::settingsFileLiesInProgramDirectory()
{
    QCOMPARE(settingsFilePath(QStringLiteral("/opt/vrillo")),
             QStringLiteral("/opt/vrillo/ini.ini"));
}

void SettingsFileTest::saveWritesExactBytes()
{
    QVERIFY(saves(path, romsAndMameTexts));
    QCOMPARE(contentOf(path).toHex(' '), romsAndMame.toHex(' '));
}

void SettingsFileTest::savingTwiceGivesTheSameBytes()
{
    QVERIFY(saves(path, romsAndMameTexts));
    QVERIFY(saves(path, romsAndMameTexts));
    QCOMPARE(contentOf(path).toHex(' '), romsAndMame.toHex(' '));
}

void SettingsFileTest::savingReplacesALongerFile()
{
    QVERIFY(writeFile(path, QByteArray(200, 'x')));
    QVERIFY(saves(path, {QString(), QString()}));
    QCOMPARE(contentOf(path), QByteArray("\"\"\r\n\"\"\r\n"));
}

void SettingsFileTest::loadReadsWhatSaveWrote()
{
    const SavedDirectories saved{QStringLiteral(" /giochi/caff\u00e8, vecchi"),
                                 QStringLiteral("/dest ")};
    QVERIFY(saves(path, saved));

    const SettingsOrFailure loaded = loadSettingsFile(path);
    QVERIFY(std::holds_alternative<SavedDirectories>(loaded));
    QCOMPARE(std::get<SavedDirectories>(loaded).source, saved.source);
    QCOMPARE(std::get<SavedDirectories>(loaded).destination, saved.destination);
}

void SettingsFileTest::doubledSeparatorNamesTheSameFile()
{
    QVERIFY(writeFile(path, romsAndMame));
    const SettingsOrFailure loaded =
        loadSettingsFile(settingsFilePath(programDirectory->path() + QLatin1Char('/')));
    QVERIFY(std::holds_alternative<SavedDirectories>(loaded));
    QCOMPARE(std::get<SavedDirectories>(loaded).source, romsAndMameTexts.source);
}

void SettingsFileTest::loadFailures_data()
{
    QTest::addColumn<QString>("setUp");
    QTest::addColumn<int>("number");
    QTest::addColumn<bool>("missing");

    QTest::newRow("no settings file") << QStringLiteral("nothing") << ENOENT << true;
    QTest::newRow("no program directory") << QStringLiteral("no directory") << ENOENT << true;
    QTest::newRow("settings file is a directory") << QStringLiteral("directory") << EISDIR << false;
    QTest::newRow("empty file") << QStringLiteral("empty") << ENODATA << false;
    QTest::newRow("one field") << QStringLiteral("one field") << ENODATA << false;
}

void SettingsFileTest::loadFailures()
{
    QFETCH(QString, setUp);
    QFETCH(int, number);
    QFETCH(bool, missing);

    if (setUp == QLatin1String("no directory"))
        path = settingsFilePath(programDirectory->filePath(QStringLiteral("gone")));
    else if (setUp == QLatin1String("directory"))
        QVERIFY(QDir().mkdir(path));
    else if (setUp == QLatin1String("empty"))
        QVERIFY(writeFile(path, QByteArray()));
    else if (setUp == QLatin1String("one field"))
        QVERIFY(writeFile(path, "\"c:\\roms\"\r\n"));

    const SettingsOrFailure loaded = loadSettingsFile(path);
    QVERIFY(std::holds_alternative<Failure>(loaded));
    const Failure &failure = std::get<Failure>(loaded);
    QCOMPARE(failure.number, number);
    QCOMPARE(isMissingSettingsFile(failure), missing);
    QVERIFY2(failure.operation.contains(path), qPrintable(failure.operation));
}

void SettingsFileTest::failedWriteLeavesPreviousFileIntact()
{
    QVERIFY(writeFile(path, romsAndMame));

    std::optional<Failure> failure;
    {
        NoFileGrowth noGrowth;
        QVERIFY(noGrowth.active);
        failure = saveSettingsFile(path, {QStringLiteral("/new"), QStringLiteral("/other")});
    }

    QVERIFY(failure.has_value());
    QCOMPARE(failure->number, EFBIG);
    QVERIFY2(failure->operation.contains(path), qPrintable(failure->operation));
    QCOMPARE(contentOf(path).toHex(' '), romsAndMame.toHex(' '));
    QCOMPARE(QDir(programDirectory->path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("ini.ini")});
}

void SettingsFileTest::saveIntoMissingDirectoryFails()
{
    const QString missingDirectory = programDirectory->filePath(QStringLiteral("gone"));
    const std::optional<Failure> failure =
        saveSettingsFile(settingsFilePath(missingDirectory), romsAndMameTexts);

    QVERIFY(failure.has_value());
    QCOMPARE(failure->number, ENOENT);
    QVERIFY(!QFileInfo::exists(missingDirectory));
}

QTEST_GUILESS_MAIN(SettingsFileTest)
#include "settingsfiletest.moc"
