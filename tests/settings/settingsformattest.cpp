#include "settingsformat.h"

#include <QTest>

#include <cerrno>

namespace {

const QString fileName = QStringLiteral("/opt/vrillo/ini.ini");

SavedDirectories parsed(const QByteArray &bytes)
{
    const SettingsOrFailure result = parseSettings(bytes, fileName);
    if (const Failure *failure = std::get_if<Failure>(&result))
        qWarning() << "unexpected failure:" << failure->operation << failure->number;
    return std::holds_alternative<SavedDirectories>(result) ? std::get<SavedDirectories>(result)
                                                            : SavedDirectories{};
}

} // namespace

class SettingsFormatTest : public QObject
{
    Q_OBJECT

private slots:
    void formatGivesExactBytes_data();
    void formatGivesExactBytes();
    void savedTextsReadBack_data();
    void savedTextsReadBack();
    void handWrittenFilesRead_data();
    void handWrittenFilesRead();
    void fewerThanTwoFieldsFail_data();
    void fewerThanTwoFieldsFail();
};

void SettingsFormatTest::formatGivesExactBytes_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("destination");
    QTest::addColumn<QByteArray>("hex");

    QTest::newRow("c:\\roms and d:\\mame give 22 bytes")
        << QStringLiteral("c:\\roms") << QStringLiteral("d:\\mame")
        << QByteArray("22 633A5C726F6D73 22 0D0A 22 643A5C6D616D65 22 0D0A");
    QTest::newRow("two empty fields give 8 bytes")
        << QString() << QString() << QByteArray("22 22 0D0A 22 22 0D0A");
    QTest::newRow("accented letters are written in UTF-8")
        << QStringLiteral("/giochi/caff\u00e8") << QStringLiteral("/\u20ac")
        << QByteArray("22 2F67696F6368692F63616666 C3A8 22 0D0A 22 2F E282AC 22 0D0A");
    QTest::newRow("a double quote inside is written unchanged")
        << QStringLiteral("a\"b") << QStringLiteral("c")
        << QByteArray("22 61 22 62 22 0D0A 22 63 22 0D0A");
    QTest::newRow("spaces and commas are written unchanged")
        << QStringLiteral(" a,b ") << QStringLiteral("c")
        << QByteArray("22 20612C6220 22 0D0A 22 63 22 0D0A");
}

void SettingsFormatTest::formatGivesExactBytes()
{
    QFETCH(QString, source);
    QFETCH(QString, destination);
    QFETCH(QByteArray, hex);

    QCOMPARE(formatSettings({source, destination}).toHex(' ').toUpper(),
             QByteArray::fromHex(hex).toHex(' ').toUpper());
}

void SettingsFormatTest::savedTextsReadBack_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("destination");

    QTest::newRow("plain directories") << QStringLiteral("/roms") << QStringLiteral("/games");
    QTest::newRow("both empty") << QString() << QString();
    QTest::newRow("commas") << QStringLiteral("d:\\a,b") << QStringLiteral(",/x,,y,");
    QTest::newRow("leading and trailing spaces")
        << QStringLiteral("  /roms") << QStringLiteral("/games  ");
    QTest::newRow("only spaces") << QStringLiteral("   ") << QStringLiteral(" ");
    QTest::newRow("accented and other letters") << QStringLiteral("/giochi/caff\u00e8 perch\u00e9")
                                                << QStringLiteral("/\u00fcber/\u65e5\u672c");
    QTest::newRow("commas and spaces together")
        << QStringLiteral(" /a, b ") << QStringLiteral(" , ");
}

void SettingsFormatTest::savedTextsReadBack()
{
    QFETCH(QString, source);
    QFETCH(QString, destination);

    const SavedDirectories read = parsed(formatSettings({source, destination}));
    QCOMPARE(read.source, source);
    QCOMPARE(read.destination, destination);
}

void SettingsFormatTest::handWrittenFilesRead_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("destination");

    const QString a = QStringLiteral("a");
    const QString b = QStringLiteral("b");
    QTest::newRow("one line with two fields") << QByteArray("\"a\",\"b\"\r\n") << a << b;
    QTest::newRow("spaces before each field are skipped")
        << QByteArray("   \"a\",  \"b\"\r\n") << a << b;
    QTest::newRow("a quoted field keeps its comma")
        << QByteArray("\"a,b\",\"c\"\r\n") << QStringLiteral("a,b") << QStringLiteral("c");
    QTest::newRow("lone LF line ends") << QByteArray("\"a\"\n\"b\"\n") << a << b;
    QTest::newRow("lone CR line ends") << QByteArray("\"a\"\r\"b\"\r") << a << b;
    QTest::newRow("no line end after the second field") << QByteArray("\"a\"\r\n\"b\"") << a << b;
    QTest::newRow("blank lines are skipped")
        << QByteArray("\r\n\"a\"\r\n\r\n   \r\n\n\"b\"\r\n") << a << b;
    QTest::newRow("text after a closing quote is dropped")
        << QByteArray("\"a\" old ,\"b\"x\r\n") << a << b;
    QTest::newRow("unquoted numbers keep their text")
        << QByteArray("007,1.50\r\n") << QStringLiteral("007") << QStringLiteral("1.50");
    QTest::newRow("unquoted fields run to the line end")
        << QByteArray("/roms\r\n/my games \r\n") << QStringLiteral("/roms")
        << QStringLiteral("/my games ");
    QTest::newRow("a third field is ignored") << QByteArray("\"a\",\"b\",\"c\"\r\n") << a << b;
    QTest::newRow("a trailing comma gives an empty destination")
        << QByteArray("\"a\",\r\n") << a << QString();
    QTest::newRow("an unclosed quote ends at its line end")
        << QByteArray("\"a\r\n\"b\"\r\n") << a << b;
    QTest::newRow("a UTF-8 byte order mark is not part of the source")
        << QByteArray("\xEF\xBB\xBF\"a\"\r\n\"b\"\r\n") << a << b;
    QTest::newRow("valid UTF-8 is read as UTF-8")
        << QByteArray("\"/caff\xC3\xA8\"\r\n\"/\xE2\x82\xAC\"\r\n") << QStringLiteral("/caff\u00e8")
        << QStringLiteral("/\u20ac");
    QTest::newRow("Windows-1252 from another system keeps its letters")
        << QByteArray("\"c:\\giochi\\caff\xE8\"\r\n\"d:\\\x80uro \xAB\xBB\"\r\n")
        << QStringLiteral("c:\\giochi\\caff\u00e8") << QStringLiteral("d:\\\u20acuro \u00ab\u00bb");
    QTest::newRow("a byte Windows-1252 leaves undefined becomes a replacement character")
        << QByteArray("\"\x81\xE0\"\r\n\"b\"\r\n") << QStringLiteral("\ufffd\u00e0") << b;
}

void SettingsFormatTest::handWrittenFilesRead()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, source);
    QFETCH(QString, destination);

    const SavedDirectories read = parsed(bytes);
    QCOMPARE(read.source, source);
    QCOMPARE(read.destination, destination);
}

void SettingsFormatTest::fewerThanTwoFieldsFail_data()
{
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("one quoted field") << QByteArray("\"c:\\roms\"\r\n");
    QTest::newRow("one unquoted field") << QByteArray("/roms");
    QTest::newRow("one field and blank lines") << QByteArray("\"a\"\r\n\r\n  \r\n");
    QTest::newRow("blank lines only") << QByteArray("\r\n\n  \r\n");
}

void SettingsFormatTest::fewerThanTwoFieldsFail()
{
    QFETCH(QByteArray, bytes);

    const SettingsOrFailure result = parseSettings(bytes, fileName);
    QVERIFY(std::holds_alternative<Failure>(result));
    const Failure &failure = std::get<Failure>(result);
    QCOMPARE(failure.number, ENODATA);
    QVERIFY2(failure.operation.contains(fileName), qPrintable(failure.operation));
}

QTEST_GUILESS_MAIN(SettingsFormatTest)
#include "settingsformattest.moc"
