#include "extractionfixture.h"
#include "module1.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <sys/stat.h>

class RunAndWaitTest : public QObject
{
    Q_OBJECT

private slots:
    void passesExactlyTwoArgumentsUnchanged_data();
    void passesExactlyTwoArgumentsUnchanged();
    void returnsOnlyAfterTheChildHasEnded();
    void childInheritsDirectoryAndStandardStreams();
    void reportsTheExitStatus();
    void reportsTheEndingSignal();
    void reportsAProgramThatCannotStart_data();
    void reportsAProgramThatCannotStart();
};

static QByteArray streamIdentity(int fd)
{
    struct stat status
    {
    };
    if (fstat(fd, &status) != 0)
        return "closed";
    return QByteArray::number(quint64(status.st_dev)) + ':' +
           QByteArray::number(quint64(status.st_ino));
}

static ExtractorCommand stubCommand(const ExtractionFixture &fixture, const QString &archive,
                                    const QString &target)
{
    return {fixture.programDirectory() + QStringLiteral("/pkunzip"), {archive, target}};
}

void RunAndWaitTest::passesExactlyTwoArgumentsUnchanged_data()
{
    QTest::addColumn<QString>("archive");
    QTest::addColumn<QString>("target");

    QTest::newRow("blanks") << "/my roms/Pac Man.zip"
                            << "/my games/NEO GEO";
    QTest::newRow("quotes") << "/roms/it's \"x\".zip"
                            << "/games/\"it's\"";
    QTest::newRow("leading dashes") << "-d"
                                    << "--help";
    QTest::newRow("shell characters") << "/roms/$(x) ; | & `y` *.zip"
                                      << "/games/>out <in";
    QTest::newRow("backslashes and tabs") << "/roms/a\\b\tc.zip"
                                          << "/games/a\\b\tc";
    QTest::newRow("non-ASCII letters")
        << QStringLiteral("/roms/Città di Ünïcode 𝔄.zip") << QStringLiteral("/giochi/Città");
    QTest::newRow("empty arguments") << ""
                                     << "";
}

void RunAndWaitTest::passesExactlyTwoArgumentsUnchanged()
{
    QFETCH(QString, archive);
    QFETCH(QString, target);
    ExtractionFixture fixture;
    QVERIFY(fixture.isValid());

    const ChildEnd end = RunAndWait(stubCommand(fixture, archive, target));

    QVERIFY(end.succeeded());
    const QList<StubRun> runs = fixture.runs();
    QCOMPARE(runs.size(), 1);
    QCOMPARE(runs[0].arguments, QByteArrayList({archive.toUtf8(), target.toUtf8()}));
}

void RunAndWaitTest::returnsOnlyAfterTheChildHasEnded()
{
    ExtractionFixture fixture;
    QVERIFY(fixture.isValid());
    fixture.setSleepMilliseconds(300);

    const qint64 called = monotonicNow();
    RunAndWait(stubCommand(fixture, QStringLiteral("A.ZIP"), QStringLiteral("A")));
    const qint64 returned = monotonicNow();

    const QList<StubRun> runs = fixture.runs();
    QCOMPARE(runs.size(), 1);
    QVERIFY(runs[0].start >= called);
    QVERIFY(runs[0].end - runs[0].start >= 300'000'000);
    QVERIFY(runs[0].end <= returned);
}

void RunAndWaitTest::childInheritsDirectoryAndStandardStreams()
{
    ExtractionFixture fixture;
    QVERIFY(fixture.isValid());
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(fixture.destination()));

    RunAndWait(stubCommand(fixture, QStringLiteral("A.ZIP"), QStringLiteral("A")));
    QDir::setCurrent(previous);

    const QList<StubRun> runs = fixture.runs();
    QCOMPARE(runs.size(), 1);
    QCOMPARE(runs[0].workingDirectory,
             QFile::encodeName(QDir(fixture.destination()).canonicalPath()));
    for (int fd = 0; fd < 3; ++fd)
        QCOMPARE(runs[0].standardStreams[fd], streamIdentity(fd));
}

void RunAndWaitTest::reportsTheExitStatus()
{
    ExtractionFixture fixture;
    QVERIFY(fixture.isValid());
    fixture.setEnds({QStringLiteral("BAD.ZIP=3")});

    const ChildEnd end =
        RunAndWait(stubCommand(fixture, QStringLiteral("/roms/BAD.ZIP"), QStringLiteral("BAD")));

    QCOMPARE(end.kind, ChildEnd::Kind::Exited);
    QCOMPARE(end.value, 3);
    QVERIFY(!end.succeeded());
}

void RunAndWaitTest::reportsTheEndingSignal()
{
    ExtractionFixture fixture;
    QVERIFY(fixture.isValid());
    fixture.setEnds({QStringLiteral("BAD.ZIP=signal %1").arg(SIGKILL)});

    const ChildEnd end =
        RunAndWait(stubCommand(fixture, QStringLiteral("/roms/BAD.ZIP"), QStringLiteral("BAD")));

    QCOMPARE(end.kind, ChildEnd::Kind::Signalled);
    QCOMPARE(end.value, SIGKILL);
    QVERIFY(!end.succeeded());
}

void RunAndWaitTest::reportsAProgramThatCannotStart_data()
{
    QTest::addColumn<QString>("programName");
    QTest::addColumn<bool>("createFile");
    QTest::addColumn<int>("errorNumber");

    QTest::newRow("missing program") << "pkunzip" << false << ENOENT;
    // Without any execute bit even root may not run a file.
    QTest::newRow("file that is not executable") << "pkunzip" << true << EACCES;
    QTest::newRow("directory") << "." << false << EACCES;
}

void RunAndWaitTest::reportsAProgramThatCannotStart()
{
    QFETCH(QString, programName);
    QFETCH(bool, createFile);
    QFETCH(int, errorNumber);
    ExtractionFixture fixture;
    QVERIFY(fixture.isValid());
    fixture.removeExtractor();
    if (createFile) {
        QFile file(fixture.programDirectory() + QLatin1Char('/') + programName);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\n");
    }

    const ChildEnd end = RunAndWait(
        {fixture.programDirectory() + QLatin1Char('/') + programName, {QString(), QString()}});

    QCOMPARE(end.kind, ChildEnd::Kind::NotStarted);
    QCOMPARE(end.value, errorNumber);
    QVERIFY(fixture.runs().isEmpty());
}

QTEST_APPLESS_MAIN(RunAndWaitTest)
#include "runandwaittest.moc"
