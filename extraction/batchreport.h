// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#pragma once

#include "batch.h"

#include <QByteArrayView>
#include <QString>

// The one message a batch ends with. A batch that stopped gives its reason,
// then how many selected archives it left untouched, then the archives whose
// extractor failed before the stop; a batch that ran to its end gives those
// failures alone. Each failed archive has a line telling how its extractor
// ended, with the first lines the extractor wrote on its standard error under
// it. However much there is to tell, the message keeps a height a screen can
// show: it names the first twenty failed archives, shows a few lines of
// reasons, each cut short, and leaves the rest to the details.
struct BatchReport
{
    enum class Kind { Nothing, SomeFailed, Stopped };

    Kind kind = Kind::Nothing;
    QString message;
    // Every untouched archive and every kept line of reasons; empty when the
    // message holds them all.
    QString details;
};
BatchReport batchReport(const BatchResult &result);

// A line an extractor wrote, as the user reads it: valid UTF-8 as such, every
// other byte and every control character as its code ("\xE9"), a tab as a
// blank.
QString readableLine(QByteArrayView line);
