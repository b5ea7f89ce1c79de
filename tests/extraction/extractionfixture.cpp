#include "extractionfixture.h"

#include <QDir>
#include <QFile>

#include <ctime>

static const char logVariable[] = "VRILLO_STUB_LOG";
static const char endsVariable[] = "VRILLO_STUB_STATUS";
static const char sleepVariable[] = "VRILLO_STUB_SLEEP_MS";

ExtractionFixture::ExtractionFixture()
{
    QDir dir(root.path());
    valid = root.isValid() && dir.mkdir(QStringLiteral("program")) &&
            dir.mkdir(QStringLiteral("roms")) && dir.mkdir(QStringLiteral("games")) &&
            QFile::link(stubPath(), programDirectory() + QStringLiteral("/pkunzip"));
    qputenv(logVariable, QFile::encodeName(path(QStringLiteral("stub.log"))));
    qunsetenv(endsVariable);
    qunsetenv(sleepVariable);
}

ExtractionFixture::~ExtractionFixture()
{
    qunsetenv(logVariable);
    qunsetenv(endsVariable);
    qunsetenv(sleepVariable);
}

QString ExtractionFixture::stubPath()
{
    return QStringLiteral(VRILLO_STUB_EXTRACTOR);
}

void ExtractionFixture::addArchives(const QStringList &names) const
{
    for (const QString &name : names) {
        QFile archive(source() + QLatin1Char('/') + name);
        archive.open(QIODevice::WriteOnly);
    }
}

void ExtractionFixture::removeExtractor() const
{
    QFile::remove(programDirectory() + QStringLiteral("/pkunzip"));
}

void ExtractionFixture::setEnds(const QStringList &lines) const
{
    qputenv(endsVariable, lines.join(QLatin1Char('\n')).toUtf8());
}

void ExtractionFixture::setSleepMilliseconds(int milliseconds) const
{
    qputenv(sleepVariable, QByteArray::number(milliseconds));
}

QStringList ExtractionFixture::destinationEntries() const
{
    return QDir(destination())
        .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

namespace {

// Reads the stub's "name length\nbytes\n" fields.
class LogReader
{
public:
    explicit LogReader(QByteArray bytes) : bytes(std::move(bytes)) {}

    bool atEnd() const { return position >= bytes.size(); }

    QByteArray line()
    {
        const qsizetype end = bytes.indexOf('\n', position);
        const QByteArray text = bytes.mid(position, end - position);
        position = end + 1;
        return text;
    }

    QByteArray field(const QByteArray &name)
    {
        const QByteArrayList header = line().split(' ');
        if (header.value(0) != name)
            return QByteArray();
        const qsizetype length = header.value(1).toLongLong();
        const QByteArray value = bytes.mid(position, length);
        position += length + 1;
        return value;
    }

private:
    QByteArray bytes;
    qsizetype position = 0;
};

} // namespace

QList<StubRun> ExtractionFixture::runs() const
{
    QFile log(path(QStringLiteral("stub.log")));
    if (!log.open(QIODevice::ReadOnly))
        return {};
    LogReader reader(log.readAll());
    QList<StubRun> runs;
    while (!reader.atEnd() && reader.line() == "run") {
        StubRun run;
        run.start = reader.field("start").toLongLong();
        run.workingDirectory = reader.field("cwd");
        run.standardStreams[0] = reader.field("stdin");
        run.standardStreams[1] = reader.field("stdout");
        run.standardStreams[2] = reader.field("stderr");
        const int count = reader.field("argc").toInt();
        for (int i = 0; i < count; ++i)
            run.arguments << reader.field("arg");
        run.targetWasDirectory = reader.field("targetdir") == "1";
        run.end = reader.field("end").toLongLong();
        runs << run;
    }
    return runs;
}

qint64 monotonicNow()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000000000LL + now.tv_nsec;
}
