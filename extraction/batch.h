// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#pragma once

#include "childprocess.h"
#include "failure.h"

#include <QByteArrayList>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// Everything a batch works on, taken from the main window once when the user
// starts it: the window acts on no input while the batch runs, so none of it
// can change on the way.
struct BatchRequest
{
    // The entries of the archive list in list order, each a bare file name as
    // the file system's bytes.
    QByteArrayList archives;
    // Whether each entry, by the same index, is selected.
    QList<bool> selected;
    // The source and destination directories as typed.
    QString source;
    QString destination;
    // The directory that holds the extractor.
    QString extractorDirectory;
    // Whether each archive gets a folder of its own ("Crea D&IR").
    bool folderPerArchive = true;
};

// An archive whose extractor ran but did not end with status 0, and what the
// extractor wrote on its standard error.
struct FailedExtraction
{
    QByteArray archiveName;
    ChildEnd end;
    ErrorOutput errorOutput;
};

struct BatchResult
{
    // Why the batch stopped before the end of the list, if it did.
    std::optional<Failure> stoppedBy;
    // The selected archives it then left untouched, in list order: the one it
    // stopped at, if selected, and every selected one after it.
    QByteArrayList notProcessed;
    // Extractors that ended with a non-zero status or a signal, in list order.
    QList<FailedExtraction> failedExtractions;
};

// Walks the archives once from the first to the last. For each selected one it
// creates the archive's folder in the destination (one level, failing if it
// exists) when each archive gets a folder of its own, then runs the extractor
// and waits for its end, so at most one extractor runs at a time; the
// thread's events are served meanwhile (see runAndWait). The folder-name rule
// is applied to every archive, selected or not. The first failed folder name,
// empty folder name of a selected archive that gets a folder, failed folder
// creation or extractor that cannot be started stops the batch: later
// archives are not touched.
BatchResult runBatch(const BatchRequest &request);
