// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "batch.h"

#include "directorynames.h"
#include "foldername.h"
#include "platform.h"

#include <cerrno>
#include <sys/stat.h>

static Result<void> createFolder(const QByteArray &path)
{
    // One level only, and an existing folder is an error: each archive must
    // start from a folder of its own, never from another archive's files.
    if (mkdir(path.constData(), 0777) == 0)
        return {};
    return Failure::fromErrno(
        QStringLiteral("Impossibile creare la cartella %1").arg(shownFileName(path)), errno);
}

namespace {

class Batch
{
public:
    explicit Batch(const BatchRequest &request) : request(request) {}

    BatchResult run()
    {
        for (qsizetype i = 0; i < request.archives.size(); ++i) {
            processEntry(request.archives[i], request.selected.value(i));
            if (result.stoppedBy) {
                noteNotProcessedFrom(i);
                break;
            }
        }
        return result;
    }

private:
    void processEntry(const QByteArray &archiveName, bool selected)
    {
        const Result<QByteArray> folderName = deriveFolderName(archiveName);
        if (!folderName) {
            result.stoppedBy = folderName.failure();
            return;
        }
        if (!selected)
            return;
        if (!request.folderPerArchive) {
            extract(archiveName,
                    extractorCommandIntoDestination(request.extractorDirectory, request.source,
                                                    archiveName, request.destination));
            return;
        }
        const QByteArray &folder = *folderName;
        // Its folder would be the destination itself.
        if (folder.isEmpty()) {
            result.stoppedBy = Failure::ofKind(
                QStringLiteral("Impossibile ricavare il nome della cartella da \"%1\": "
                               "resterebbe vuoto")
                    .arg(shownFileName(archiveName)),
                FailureKind::FolderNameEmpty);
            return;
        }
        if (const Result<void> created =
                createFolder(extractionFolderPath(request.destination, folder));
            !created) {
            result.stoppedBy = created.failure();
            return;
        }
        extract(archiveName, extractorCommandIntoFolder(request.extractorDirectory, request.source,
                                                        archiveName, request.destination, folder));
    }

    void extract(const QByteArray &archiveName, const ExtractorCommand &command)
    {
        ChildRun run = runAndWait(command, repeatedPrefix(command));
        const ChildEnd &end = run.end;
        switch (end.kind) {
        case ChildEnd::Kind::NotStarted:
            result.stoppedBy = Failure::fromErrno(
                QStringLiteral("Impossibile avviare %1").arg(shownFileName(command.program)),
                end.value);
            break;
        case ChildEnd::Kind::Lost:
            result.stoppedBy =
                Failure::fromErrno(QStringLiteral("Impossibile attendere la fine di %1")
                                       .arg(shownFileName(command.program)),
                                   end.value);
            break;
        case ChildEnd::Kind::Exited:
        case ChildEnd::Kind::Signalled:
            if (!end.succeeded())
                result.failedExtractions.append({archiveName, end, std::move(run.errorOutput)});
            break;
        }
    }

    void noteNotProcessedFrom(qsizetype stop)
    {
        for (qsizetype i = stop; i < request.archives.size(); ++i)
            if (request.selected.value(i))
                result.notProcessed << request.archives[i];
    }

    // What pkunzip puts before each of its lines.
    static QByteArray repeatedPrefix(const ExtractorCommand &command)
    {
        return platform::extractorName.toUtf8() + ": " + command.arguments[0] + ": ";
    }

    const BatchRequest &request;
    BatchResult result;
};

} // namespace

BatchResult runBatch(const BatchRequest &request)
{
    return Batch(request).run();
}
