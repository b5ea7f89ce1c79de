#include "batch.h"

#include "foldername.h"
#include "platform.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

static std::optional<Failure> createFolder(const QString &path)
{
    // One level only, and an existing folder is an error: each archive must
    // start from a folder of its own, never from another archive's files.
    if (mkdir(QFile::encodeName(path).constData(), 0777) == 0)
        return std::nullopt;
    return Failure::fromErrno(QStringLiteral("Impossibile creare la cartella %1").arg(path), errno);
}

namespace {

class Batch
{
public:
    explicit Batch(const BatchView &view) : view(view) {}

    BatchResult run()
    {
        const int count = view.count();
        for (int i = 0; i < count && !result.stoppedBy; ++i)
            processEntry(i);
        return result;
    }

private:
    void processEntry(int i)
    {
        const bool selected = view.selected(i);
        const QString source = view.source();
        const QString archiveName = view.text(i);
        auto folderName = deriveFolderName(archiveName);
        if (auto *failure = std::get_if<Failure>(&folderName)) {
            result.stoppedBy = *failure;
            return;
        }
        const QString &folder = std::get<QString>(folderName);

        if (view.folderPerArchive() && selected) {
            result.stoppedBy = createFolder(extractionFolderPath(view.destination(), folder));
            if (result.stoppedBy)
                return;
        }
        if (view.folderPerArchive() && selected)
            extract(archiveName,
                    extractorCommandIntoFolder(view.programDirectory(), source, archiveName,
                                               view.destination(), folder));
        if (!view.folderPerArchive() && selected)
            extract(archiveName, extractorCommandIntoDestination(view.programDirectory(), source,
                                                                 archiveName, view.destination()));
    }

    void extract(const QString &archiveName, const ExtractorCommand &command)
    {
        const ChildEnd end = runAndWait(command);
        switch (end.kind) {
        case ChildEnd::Kind::NotStarted:
            result.stoppedBy = Failure::fromErrno(
                QStringLiteral("Impossibile avviare %1").arg(command.program), end.value);
            break;
        case ChildEnd::Kind::Lost:
            result.stoppedBy = Failure::fromErrno(
                QStringLiteral("Impossibile attendere la fine di %1").arg(command.program),
                end.value);
            break;
        case ChildEnd::Kind::Exited:
        case ChildEnd::Kind::Signalled:
            if (!end.succeeded())
                result.failedExtractions.append({archiveName, end});
            break;
        }
    }

    const BatchView &view;
    BatchResult result;
};

} // namespace

BatchResult runBatch(const BatchView &view)
{
    return Batch(view).run();
}

static QString describeEnd(const ChildEnd &end)
{
    if (end.kind == ChildEnd::Kind::Signalled)
        return QStringLiteral("interrotto dal segnale %1 (%2)")
            .arg(end.value)
            .arg(QString::fromLocal8Bit(strsignal(end.value)));
    return QStringLiteral("terminato con codice %1").arg(end.value);
}

QString failedExtractionsMessage(const QList<FailedExtraction> &failures)
{
    QString message = QStringLiteral("Alcuni archivi non sono stati scompattati del tutto:\n");
    for (const FailedExtraction &failure : failures)
        message += QStringLiteral("\n%1: %2 %3")
                       .arg(failure.archiveName, platform::extractorName, describeEnd(failure.end));
    return message;
}
