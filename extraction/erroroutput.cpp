// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "erroroutput.h"

ErrorOutput::ErrorOutput(QByteArray repeatedPrefix) : prefix(std::move(repeatedPrefix))
{
}

void ErrorOutput::append(QByteArrayView bytes)
{
    while (!bytes.isEmpty()) {
        const qsizetype newline = bytes.indexOf('\n');
        if (newline < 0) {
            addToLine(bytes);
            return;
        }
        addToLine(bytes.first(newline));
        endLine();
        bytes = bytes.sliced(newline + 1);
    }
}

void ErrorOutput::finish()
{
    if (lineStarted)
        endLine();
}

// Past the kept lines only the count grows, so megabytes cost no memory.
void ErrorOutput::addToLine(QByteArrayView piece)
{
    if (piece.isEmpty())
        return;
    lineStarted = true;
    if (kept.size() >= keptLines)
        return;
    const qsizetype room = lineLimit() - line.size();
    line.append(piece.first(std::min(room, piece.size())));
    lineCut = lineCut || piece.size() > room;
}

void ErrorOutput::endLine()
{
    if (line.endsWith('\r'))
        line.chop(1);
    if (kept.size() >= keptLines) {
        leftOut += lineStarted ? 1 : 0;
    } else if (!line.trimmed().isEmpty()) {
        QByteArray shown = line.startsWith(prefix) ? line.sliced(prefix.size()) : line;
        if (lineCut || shown.size() > keptLineBytes)
            shown = shown.first(std::min(shown.size(), keptLineBytes)) + "…";
        kept << shown;
    }
    line.clear();
    lineStarted = false;
    lineCut = false;
}
