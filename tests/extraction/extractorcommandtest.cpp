#include "extractorcommand.h"

#include <QTest>

class ExtractorCommandTest : public QObject
{
    Q_OBJECT

private slots:
    void buildsTheExampleCommandLines();
    void joinsARootFieldWithADoubledSeparator();
    void keepsAwkwardNamesWholeInTwoArguments_data();
    void keepsAwkwardNamesWholeInTwoArguments();
};

void ExtractorCommandTest::buildsTheExampleCommandLines()
{
    const ExtractorCommand checked = checkedExtractorCommand(
        QStringLiteral("/opt/tools"), QStringLiteral("/roms"), QStringLiteral("PACMAN.ZIP"),
        QStringLiteral("/games"), QStringLiteral("PACMAN"));
    const ExtractorCommand unchecked =
        uncheckedExtractorCommand(QStringLiteral("/opt/tools"), QStringLiteral("/roms"),
                                  QStringLiteral("PACMAN.ZIP"), QStringLiteral("/games"));

    QCOMPARE(extractionFolderPath(QStringLiteral("/games"), QStringLiteral("PACMAN")),
             QStringLiteral("/games/PACMAN"));
    QCOMPARE(checked.text(), QStringLiteral("/opt/tools/pkunzip /roms/PACMAN.ZIP /games/PACMAN"));
    QCOMPARE(unchecked.text(), QStringLiteral("/opt/tools/pkunzip /roms/PACMAN.ZIP /games/"));
    QCOMPARE(checked.program, QStringLiteral("/opt/tools/pkunzip"));
    QCOMPARE(unchecked.program, QStringLiteral("/opt/tools/pkunzip"));
    QCOMPARE(checked.arguments[0], QStringLiteral("/roms/PACMAN.ZIP"));
    QCOMPARE(checked.arguments[1], QStringLiteral("/games/PACMAN"));
    QCOMPARE(unchecked.arguments[1], QStringLiteral("/games/"));
}

void ExtractorCommandTest::joinsARootFieldWithADoubledSeparator()
{
    const ExtractorCommand checked = checkedExtractorCommand(
        QStringLiteral("/"), QStringLiteral("/"), QStringLiteral("PACMAN.ZIP"), QStringLiteral("/"),
        QStringLiteral("PACMAN"));
    const ExtractorCommand unchecked =
        uncheckedExtractorCommand(QStringLiteral("/"), QStringLiteral("/"),
                                  QStringLiteral("PACMAN.ZIP"), QStringLiteral("/"));

    QCOMPARE(checked.arguments[0], QStringLiteral("//PACMAN.ZIP"));
    QCOMPARE(extractionFolderPath(QStringLiteral("/"), QStringLiteral("PACMAN")),
             QStringLiteral("//PACMAN"));
    QCOMPARE(checked.text(), QStringLiteral("//pkunzip //PACMAN.ZIP //PACMAN"));
    QCOMPARE(unchecked.text(), QStringLiteral("//pkunzip //PACMAN.ZIP //"));
}

void ExtractorCommandTest::keepsAwkwardNamesWholeInTwoArguments_data()
{
    QTest::addColumn<QString>("archiveName");
    QTest::addColumn<QString>("folderName");

    QTest::newRow("a blank") << "Pac Man.zip"
                             << "Pac Man";
    QTest::newRow("several blanks") << "NEO GEO CUP.ZIP"
                                    << "NEO GEO";
    QTest::newRow("quotes") << "it's \"x\".zip"
                            << "it's \"x\"";
    QTest::newRow("shell characters") << "$(x) ; |.zip"
                                      << "$(x) ; |";
}

void ExtractorCommandTest::keepsAwkwardNamesWholeInTwoArguments()
{
    QFETCH(QString, archiveName);
    QFETCH(QString, folderName);

    const ExtractorCommand checked =
        checkedExtractorCommand(QStringLiteral("/opt/my tools"), QStringLiteral("/my roms"),
                                archiveName, QStringLiteral("/my games"), folderName);

    QCOMPARE(checked.program, QStringLiteral("/opt/my tools/pkunzip"));
    QCOMPARE(checked.arguments[0], "/my roms/" + archiveName);
    QCOMPARE(checked.arguments[1], "/my games/" + folderName);
    QCOMPARE(checked.text(),
             "/opt/my tools/pkunzip /my roms/" + archiveName + " /my games/" + folderName);
}

QTEST_APPLESS_MAIN(ExtractorCommandTest)
#include "extractorcommandtest.moc"
