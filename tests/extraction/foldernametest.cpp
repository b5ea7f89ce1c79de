#include "foldername.h"

#include <QTest>

#include <cerrno>

class FolderNameTest : public QObject
{
    Q_OBJECT

private slots:
    void derivesFolderName_data();
    void derivesFolderName();
    void failsBelowFourCharacters_data();
    void failsBelowFourCharacters();
};

void FolderNameTest::derivesFolderName_data()
{
    QTest::addColumn<QString>("archiveName");
    QTest::addColumn<QString>("folderName");

    QTest::newRow("5 characters lose the last four") << "A.ZIP"
                                                     << "A";
    QTest::newRow("8 characters lose the last four") << "1942.ZIP"
                                                     << "1942";
    QTest::newRow("10 characters lose the last four") << "PACMAN.ZIP"
                                                      << "PACMAN";
    QTest::newRow("11 characters lose the last four") << "ABCDEFG.ZIP"
                                                      << "ABCDEFG";
    QTest::newRow("a blank inside is kept") << "Pac Man.zip"
                                            << "Pac Man";
    QTest::newRow("12 characters keep the first eight") << "ABCDEFGH.ZIP"
                                                        << "ABCDEFGH";
    QTest::newRow("a blank left at the end is removed") << "NEO GEO CUP.ZIP"
                                                        << "NEO GEO";
    QTest::newRow("long names share their first eight") << "STREETFIGHTER2.ZIP"
                                                        << "STREETFI";
    QTest::newRow("4 characters give an empty name") << ".ZIP"
                                                     << "";
    QTest::newRow("blanks before the extension are removed") << "AB  .ZIP"
                                                             << "AB";
    QTest::newRow("only blanks left give an empty name") << "    .ZIP"
                                                         << "";
    QTest::newRow("blanks at the start are kept") << "  AB.ZIP"
                                                  << "  AB";
    QTest::newRow("letter case is kept") << "pacMan.Zip"
                                         << "pacMan";
    QTest::newRow("the extension is not looked at") << "README.TXT"
                                                    << "README";
    QTest::newRow("a name without a dot still loses four") << "PACMANZIP"
                                                           << "PACMA";
    QTest::newRow("accented letters count as one each")
        << QStringLiteral("Àèìòù.zip") << QStringLiteral("Àèìòù");
    QTest::newRow("12 accented characters keep eight")
        << QStringLiteral("ÀÈÌÒÙàèìòù.zip") << QStringLiteral("ÀÈÌÒÙàèì");
    QTest::newRow("letters beyond 16 bits count as one each")
        << QStringLiteral("𝔄𝔅𝔆𝔇𝔈𝔉.ZIP")
        << QStringLiteral("𝔄𝔅𝔆𝔇𝔈𝔉");
    QTest::newRow("letters beyond 16 bits are not cut in half")
        << QStringLiteral("𝔄𝔅𝔆𝔇𝔈𝔉𝔊𝔋𝔌.ZIP")
        << QStringLiteral("𝔄𝔅𝔆𝔇𝔈𝔉𝔊𝔋");
}

void FolderNameTest::derivesFolderName()
{
    QFETCH(QString, archiveName);
    QFETCH(QString, folderName);

    const auto derived = DeriveFolderName(archiveName);

    QVERIFY(std::holds_alternative<QString>(derived));
    QCOMPARE(std::get<QString>(derived), folderName);
}

void FolderNameTest::failsBelowFourCharacters_data()
{
    QTest::addColumn<QString>("archiveName");

    QTest::newRow("3 characters") << "ABC";
    QTest::newRow("one character") << "A";
    QTest::newRow("an empty entry") << "";
    QTest::newRow("3 letters beyond 16 bits") << QStringLiteral("𝔄𝔅𝔆");
}

void FolderNameTest::failsBelowFourCharacters()
{
    QFETCH(QString, archiveName);

    const auto derived = DeriveFolderName(archiveName);

    QVERIFY(std::holds_alternative<Failure>(derived));
    const Failure &failure = std::get<Failure>(derived);
    QCOMPARE(failure.number, EINVAL);
    QCOMPARE(
        failure.operation,
        QStringLiteral("Impossibile ricavare il nome della cartella da \"%1\"").arg(archiveName));
}

QTEST_APPLESS_MAIN(FolderNameTest)
#include "foldernametest.moc"
