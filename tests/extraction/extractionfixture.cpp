#include "extractionfixture.h"

#include <QDir>
#include <QFile>

static const char endsVariable[] = "VRILLO_STUB_STATUS";

ExtractionFixture::ExtractionFixture()
{
    QDir dir(root());
    valid = directory.isValid() && dir.mkdir(QStringLiteral("program")) &&
            dir.mkdir(QStringLiteral("roms")) && dir.mkdir(QStringLiteral("games")) &&
            QFile::link(QStringLiteral(VRILLO_STUB_EXTRACTOR),
                        programDirectory() + QStringLiteral("/pkunzip"));
    qputenv("VRILLO_STUB_LOG", QFile::encodeName(root() + QStringLiteral("/stub.log")));
    qunsetenv(endsVariable);
}

BatchRequest ExtractionFixture::request(const QStringList &entries,
                                        const QList<int> &selection) const
{
    BatchRequest request;
    for (const QString &entry : entries)
        request.archives << QFile::encodeName(entry);
    for (qsizetype i = 0; i < entries.size(); ++i)
        request.selected << selection.contains(i);
    request.source = source();
    request.destination = destination();
    request.extractorDirectory = programDirectory();
    return request;
}

QByteArrayList ExtractionFixture::arguments(const QString &archiveName, const QString &target) const
{
    return {QFile::encodeName(source() + '/' + archiveName),
            QFile::encodeName(destination() + '/' + target)};
}

void ExtractionFixture::setEnds(const QStringList &lines) const
{
    qputenv(endsVariable, lines.join(QLatin1Char('\n')).toUtf8());
}

QStringList ExtractionFixture::entriesOf(const QString &directory)
{
    return QDir(directory).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                                     QDir::Name);
}

// The stub writes one line per run, its fields separated by NUL characters;
// no test passes an argument holding a newline.
QList<StubRun> ExtractionFixture::runs() const
{
    QFile log(root() + QStringLiteral("/stub.log"));
    if (!log.open(QIODevice::ReadOnly))
        return {};
    QList<StubRun> runs;
    for (const QByteArray &line : log.readAll().split('\n')) {
        const QByteArrayList fields = line.split('\0');
        if (fields.size() < 6)
            continue;
        runs.append({fields[0].toLongLong(), fields[1].toLongLong(), fields[2], fields.mid(3, 3),
                     fields.mid(6)});
    }
    return runs;
}
