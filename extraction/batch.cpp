// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "batch.h"

#include "directorynames.h"
#include "foldername.h"
#include "platform.h"

#include <cerrno>
#include <cstring>
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
        for (qsizetype i = 0; i < request.archives.size() && !result.stoppedBy; ++i)
            processEntry(request.archives[i], request.selected.value(i));
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
        const ChildEnd end = runAndWait(command);
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
                result.failedExtractions.append({archiveName, end});
            break;
        }
    }

    const BatchRequest &request;
    BatchResult result;
};

} // namespace

BatchResult runBatch(const BatchRequest &request)
{
    return Batch(request).run();
}

static QString describeEnd(const ChildEnd &end)
{
    if (end.kind == ChildEnd::Kind::Signalled)
        return QStringLiteral("interrotto dal segnale %1 (%2)")
            .arg(end.value)
            .arg(QString::fromLocal8Bit(strsignal(end.value)));
    return QStringLiteral("terminato con codice %1").arg(end.value);
}

// About twenty lines leave the box well within a 768-pixel screen.
static constexpr qsizetype shownFailures = 20;

FailedExtractionsReport failedExtractionsReport(const QList<FailedExtraction> &failures)
{
    QStringList lines;
    for (const FailedExtraction &failure : failures)
        lines << QStringLiteral("%1: %2 %3")
                     .arg(shownFileName(failure.archiveName), platform::extractorName,
                          describeEnd(failure.end));

    FailedExtractionsReport report;
    report.message = QStringLiteral("Alcuni archivi non sono stati scompattati del tutto:\n\n") +
                     lines.mid(0, shownFailures).join(QLatin1Char('\n'));
    if (lines.size() > shownFailures) {
        report.message += QStringLiteral("\n… e altri %1").arg(lines.size() - shownFailures);
        report.fullList = lines.join(QLatin1Char('\n'));
    }
    return report;
}
