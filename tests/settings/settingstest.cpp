// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "settingsfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <sys/resource.h>

namespace {

// The bytes the program saves for c:\roms and d:\mame.
const QByteArray romsAndMame("\"c:\\roms\"\r\n\"d:\\mame\"\r\n");

const QString fileName = QStringLiteral("/opt/vrillo/ini.ini");

// The two directories read from bytes; none when there are fewer than two
// fields, as the failure reported for fileName says; else what went wrong.
QStringList readBack(const QByteArray &bytes)
{
    const Result<SavedDirectories> result = parseSettings(bytes, fileName);
    if (result)
        return {result->source, result->destination};
    const QString message = failureMessage(result.failure());
    if (result.failure().kind == FailureKind::SettingsEndEarly &&
        message ==
            "Impossibile leggere le due directory da " + fileName + "\n\n61: No data available")
        return {};
    return {message};
}

} // namespace

class SettingsTest : public QObject
{
    Q_OBJECT

private slots:
    void savedTextsAreWrittenExactlyAndReadBack_data();
    void savedTextsAreWrittenExactlyAndReadBack();
    void handWrittenFilesRead_data();
    void handWrittenFilesRead();
    void saveReplacesTheFileOnlyWhenComplete_data();
    void saveReplacesTheFileOnlyWhenComplete();
};

void SettingsTest::savedTextsAreWrittenExactlyAndReadBack_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("destination");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("c:\\roms and d:\\mame give 22 bytes")
        << QStringLiteral("c:\\roms") << QStringLiteral("d:\\mame") << romsAndMame;
    QTest::newRow("two empty fields give 8 bytes")
        << QString() << QString() << QByteArray("\"\"\r\n\"\"\r\n");
    QTest::newRow("commas") << QStringLiteral("d:\\a,b") << QStringLiteral(",/x,,y,")
                            << QByteArray("\"d:\\a,b\"\r\n\",/x,,y,\"\r\n");
    QTest::newRow("leading and trailing spaces")
        << QStringLiteral("  /a, b ") << QStringLiteral(" , ")
        << QByteArray("\"  /a, b \"\r\n\" , \"\r\n");
    QTest::newRow("accented and other letters in UTF-8")
        << QStringLiteral("/caff\u00e8") << QStringLiteral("/\u20ac\u65e5")
        << QByteArray("\"/caff\xC3\xA8\"\r\n\"/\xE2\x82\xAC\xE6\x97\xA5\"\r\n");
}

void SettingsTest::savedTextsAreWrittenExactlyAndReadBack()
{
    QFETCH(QString, source);
    QFETCH(QString, destination);
    QFETCH(QByteArray, bytes);

    const Result<QByteArray> written = formatSettings({source, destination}, fileName);
    QVERIFY(written);
    QCOMPARE(*written, bytes);
    QCOMPARE(readBack(bytes), QStringList({source, destination}));
}

void SettingsTest::handWrittenFilesRead_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("directories"); // none: too few fields fail

    const auto readsAAndB = [](const char *name, const char *bytes) {
        QTest::newRow(name) << QByteArray(bytes) << QStringList{"a", "b"};
    };
    readsAAndB("one line with two fields", "\"a\",\"b\"\r\n");
    readsAAndB("spaces before each field are skipped", "   \"a\",  \"b\"\r\n");
    readsAAndB("lone LF and CR line ends", "\"a\"\n\"b\"\r");
    readsAAndB("no line end after the second field", "\"a\"\r\n\"b\"");
    readsAAndB("blank lines are skipped", "\r\n\"a\"\r\n\r\n   \r\n\n\"b\"\r\n");
    readsAAndB("text after a closing quote is dropped", "\"a\" old ,\"b\"x\r\n");
    readsAAndB("a third field is ignored", "\"a\",\"b\",\"c\"\r\n");
    readsAAndB("an unclosed quote ends at its line end", "\"a\r\n\"b\"\r\n");
    readsAAndB("a UTF-8 byte order mark is not part of the source",
               "\xEF\xBB\xBF\"a\"\r\n\"b\"\r\n");
    QTest::newRow("unquoted fields keep their text up to a comma or line end")
        << QByteArray("007, /my games \r\n") << QStringList{"007", "/my games "};
    QTest::newRow("a trailing comma gives an empty destination")
        << QByteArray("\"a\",\r\n") << QStringList{"a", ""};
    QTest::newRow("Windows-1252 from another system keeps its letters")
        << QByteArray("\"c:\\giochi\\caff\xE8\"\r\n\"d:\\\x80uro \xAB\xBB\"\r\n")
        << QStringList{"c:\\giochi\\caff\u00e8", "d:\\\u20acuro \u00ab\u00bb"};
    QTest::newRow("a byte Windows-1252 leaves undefined becomes a replacement character")
        << QByteArray("\"\x81\xE0\"\r\n\"b\"\r\n") << QStringList{"\ufffd\u00e0", "b"};
    QTest::newRow("an empty file fails") << QByteArray() << QStringList();
    QTest::newRow("one quoted field fails")
        << QByteArray("\"c:\\roms\"\r\n\r\n  \r\n") << QStringList();
    QTest::newRow("one unquoted field fails") << QByteArray("/roms") << QStringList();
    QTest::newRow("blank lines only fail") << QByteArray("\r\n\n  \r\n") << QStringList();
    QTest::newRow("a NUL in a directory makes the file damaged")
        << QByteArray("\"a") + '\0' + QByteArray("b\"\r\n\"c\"\r\n")
        << QStringList{"Impossibile leggere le due directory da " + fileName +
                       ": il file è danneggiato\n\n22: Invalid argument"};
}

void SettingsTest::handWrittenFilesRead()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, directories);

    QCOMPARE(readBack(bytes), directories);
}

// A save that fails leaves the previous file as it was and nothing beside it;
// one that succeeds replaces a larger file whole. A text the format cannot
// hold fails the save as a refusal of the system would.
void SettingsTest::saveReplacesTheFileOnlyWhenComplete_data()
{
    QTest::addColumn<QString>("directory");
    QTest::addColumn<bool>("fileCanGrow");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<int>("number");

    const QStringList romsAndMameTexts{"c:\\roms", "d:\\mame"};
    QTest::newRow("a save that succeeds") << QStringLiteral(".") << true << romsAndMameTexts << 0;
    QTest::newRow("a file that cannot grow")
        << QStringLiteral(".") << false << romsAndMameTexts << EFBIG;
    QTest::newRow("a folder to make where a file is")
        << QStringLiteral("ini.ini/vrillo") << true << romsAndMameTexts << ENOTDIR;
    const auto refused = [](const char *name, const QStringList &texts) {
        QTest::newRow(name) << QStringLiteral(".") << true << texts << EINVAL;
    };
    refused("a double quote in the source is refused", {"c:\\ro\"ms", "d:\\mame"});
    refused("a line feed in the destination is refused", {"c:\\roms", "d:\\ma\nme"});
    refused("a carriage return is refused", {"c:\\roms\r", "d:\\mame"});
    refused("a NUL is refused", {"c:\\roms", QString("d:\\ma") + QChar(0) + "me"});
}

void SettingsTest::saveReplacesTheFileOnlyWhenComplete()
{
    QFETCH(QString, directory);
    QFETCH(bool, fileCanGrow);
    QFETCH(QStringList, texts);
    QFETCH(int, number);
    QTemporaryDir programDirectory;
    const QString path = programDirectory.filePath("ini.ini");
    const QByteArray previous(200, 'x');
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(previous) == previous.size());
    file.close();
    const QString target = programDirectory.filePath(directory + "/ini.ini");
    // A zero size limit stops writes by whoever runs the tests (root included,
    // whom permission bits do not stop) with EFBIG, SIGXFSZ being ignored.
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    const rlimit during{fileCanGrow ? limit.rlim_cur : 0, limit.rlim_max};
    setrlimit(RLIMIT_FSIZE, &during);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);

    const Result<void> saved = saveSettingsFile(target, {texts[0], texts[1]});

    setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, previousHandler);
    QCOMPARE(saved.ok(), number == 0);
    QVERIFY(saved ||
            failureMessage(saved.failure()).contains(QStringLiteral("\n\n%1: ").arg(number)));
    QVERIFY(saved || saved.failure().operation.contains(target));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), saved ? romsAndMame : previous);
    QCOMPARE(QDir(programDirectory.path())
                 .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("ini.ini")});
}

QTEST_GUILESS_MAIN(SettingsTest)
#include "settingstest.moc"
