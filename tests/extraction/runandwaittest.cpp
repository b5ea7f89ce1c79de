#include "childprocess.h"
#include "extractionfixture.h"

#include <QDir>
#include <QTest>

#include <sys/stat.h>

class RunAndWaitTest : public QObject
{
    Q_OBJECT

private slots:
    void childInheritsDirectoryAndStandardStreams();
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

void RunAndWaitTest::childInheritsDirectoryAndStandardStreams()
{
    ExtractionFixture fixture;
    QVERIFY(fixture.isValid());
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(fixture.destination()));

    const ChildEnd end = runAndWait({fixture.programDirectory() + "/pkunzip", {"A.ZIP", "A"}});
    QDir::setCurrent(previous);

    QVERIFY(end.succeeded());
    const QList<StubRun> runs = fixture.runs();
    QCOMPARE(runs.size(), 1);
    QCOMPARE(runs[0].workingDirectory,
             QFile::encodeName(QDir(fixture.destination()).canonicalPath()));
    QCOMPARE(runs[0].standardStreams,
             QByteArrayList({streamIdentity(0), streamIdentity(1), streamIdentity(2)}));
}

QTEST_APPLESS_MAIN(RunAndWaitTest)
#include "runandwaittest.moc"
