// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QByteArrayView>

// What a child wrote on its standard error, kept within fixed bounds however
// much it writes: its first lines, each cut short, and a count of the rest.
// Blank lines are not kept. The bytes are kept as they came, whatever their
// encoding.
class ErrorOutput
{
public:
    static constexpr qsizetype keptLines = 20;
    static constexpr qsizetype keptLineBytes = 300;

    // Lines that start with repeatedPrefix are kept without it: pkunzip
    // starts every line with its own name and the archive's path, which the
    // user already knows.
    explicit ErrorOutput(QByteArray repeatedPrefix = {});

    void append(QByteArrayView bytes);
    // The stream has ended: a last line without its newline is a line too.
    void finish();

    // A kept line that was cut short ends in "…".
    const QByteArrayList &lines() const { return kept; }
    qint64 linesLeftOut() const { return leftOut; }
    bool isEmpty() const { return kept.isEmpty(); }

private:
    void addToLine(QByteArrayView piece);
    void endLine();
    qsizetype lineLimit() const { return prefix.size() + keptLineBytes; }

    QByteArray prefix;
    QByteArrayList kept;
    qint64 leftOut = 0;
    // The line being read, never longer than lineLimit() bytes.
    QByteArray line;
    bool lineStarted = false;
    bool lineCut = false;
};
