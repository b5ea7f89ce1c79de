#include "extractorcommand.h"

#include <QTest>

class ExtractorCommandTest : public QObject
{
    Q_OBJECT

private slots:
    void buildsTheCommandLines_data();
    void buildsTheCommandLines();
};

// PACMAN.ZIP from the source into its folder PACMAN in the destination, with
// the extractor in the program directory.
void ExtractorCommandTest::buildsTheCommandLines_data()
{
    QTest::addColumn<QString>("directory");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("destination");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("checkedLine");
    QTest::addColumn<QString>("uncheckedLine");

    QTest::newRow("the example") << "/opt/tools"
                                 << "/roms"
                                 << "/games"
                                 << "/games/PACMAN"
                                 << "/opt/tools/pkunzip /roms/PACMAN.ZIP /games/PACMAN"
                                 << "/opt/tools/pkunzip /roms/PACMAN.ZIP /games/";
    QTest::newRow("root fields give doubled separators") << "/"
                                                         << "/"
                                                         << "/"
                                                         << "//PACMAN"
                                                         << "//pkunzip //PACMAN.ZIP //PACMAN"
                                                         << "//pkunzip //PACMAN.ZIP //";
}

// Each line joins the program and its two arguments with single blanks, so
// comparing it whole also checks where one argument ends and the next begins.
void ExtractorCommandTest::buildsTheCommandLines()
{
    QFETCH(QString, directory);
    QFETCH(QString, source);
    QFETCH(QString, destination);
    QFETCH(QString, folder);
    QFETCH(QString, checkedLine);
    QFETCH(QString, uncheckedLine);

    const ExtractorCommand checked =
        extractorCommandIntoFolder(directory, source, "PACMAN.ZIP", destination, "PACMAN");
    const ExtractorCommand unchecked =
        extractorCommandIntoDestination(directory, source, "PACMAN.ZIP", destination);

    QCOMPARE(extractionFolderPath(destination, "PACMAN"), folder);
    QCOMPARE(checked.text(), checkedLine);
    QCOMPARE(unchecked.text(), uncheckedLine);
    QCOMPARE(checked.arguments[1], folder);
}

QTEST_APPLESS_MAIN(ExtractorCommandTest)
#include "extractorcommandtest.moc"
