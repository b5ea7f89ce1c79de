#pragma once

#include "childprocess.h"
#include "failure.h"

#include <QList>
#include <QString>

#include <optional>

// What the batch reads from the main window. Every value is asked for at the
// moment the batch needs it, entry by entry.
class BatchView
{
public:
    virtual ~BatchView() = default;

    // Number of entries in the archive list.
    virtual int count() const = 0;
    // Whether entry i is selected.
    virtual bool selected(int i) const = 0;
    // Entry i: the bare file name of an archive.
    virtual QString text(int i) const = 0;
    // The source directory as typed.
    virtual QString source() const = 0;
    // The destination directory as typed.
    virtual QString destination() const = 0;
    // Whether each archive gets a folder of its own ("Crea D&IR").
    virtual bool folderPerArchive() const = 0;
    // The directory that holds the extractor.
    virtual QString programDirectory() const = 0;
};

// An archive whose extractor ran but did not end with status 0.
struct FailedExtraction
{
    QString archiveName;
    ChildEnd end;
};

struct BatchResult
{
    // Why the batch stopped before the end of the list, if it did.
    std::optional<Failure> stoppedBy;
    // Extractors that ended with a non-zero status or a signal, in list order.
    QList<FailedExtraction> failedExtractions;
};

// Walks the list once from the first entry to the last. For each selected
// entry it creates the archive's folder in the destination (one level, failing
// if it exists) when each archive gets a folder of its own, then runs the extractor and waits for
// its end, so at most one extractor runs at a time. The folder-name rule is applied to every entry,
// selected or not. The first failed folder name, failed folder creation or extractor that cannot be
// started stops the batch: later entries are not touched. Nothing in the view is changed.
BatchResult runBatch(const BatchView &view);

// The one message telling the user which archives were not fully extracted
// and how their extractor ended.
QString failedExtractionsMessage(const QList<FailedExtraction> &failures);
