// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "batchreport.h"

#include "directorynames.h"
#include "platform.h"

#include <QStringList>

#include <cstring>

// Twenty archive lines, six lines of reasons and the few lines around them
// leave the box well within a 768-pixel screen. The box wraps a line wider
// than about fifty characters; a reason cut at ninety takes two at most.
static constexpr qsizetype shownFailures = 20;
static constexpr qsizetype shownReasonsPerArchive = 3;
static constexpr qsizetype shownReasonsInAll = 6;
static constexpr qsizetype shownLineLength = 90;

static const QString indent = QStringLiteral("    ");

QString readableLine(QByteArrayView line)
{
    QString text;
    for (qsizetype position = 0; position < line.size();) {
        const qsizetype length = utf8CharacterLength(line, position);
        const auto byte = static_cast<unsigned char>(line[position]);
        if (byte == '\t')
            text += QLatin1Char(' ');
        else if (length > 1 || (byte >= 0x20 && byte < 0x7F))
            text += QString::fromUtf8(line.sliced(position, length));
        else
            text += QStringLiteral("\\x") +
                    QString::number(byte, 16).toUpper().rightJustified(2, QLatin1Char('0'));
        position += length;
    }
    return text;
}

static QString cutShort(const QString &line)
{
    if (line.size() <= shownLineLength)
        return line;
    qsizetype kept = shownLineLength - 1;
    if (line[kept - 1].isHighSurrogate())
        --kept;
    return line.first(kept) + QStringLiteral("…");
}

// The codes pkunzip defines are told in words; another program in its place
// may mean something else by any other code.
static QString describeEnd(const ChildEnd &end)
{
    if (end.kind == ChildEnd::Kind::Signalled)
        return QStringLiteral("interrotto dal segnale %1 (%2)")
            .arg(end.value)
            .arg(QString::fromLocal8Bit(strsignal(end.value)));
    if (end.value == 1)
        return QStringLiteral("non ha scritto alcuni file");
    if (end.value == 2)
        return QStringLiteral("non lo legge come archivio");
    return QStringLiteral("terminato con codice %1").arg(end.value);
}

namespace {

// The failed archives, as the message shows them and in full.
struct FailuresText
{
    QStringList shown;
    QStringList full;
    bool shownIsFull = true;
};

class FailuresWriter
{
public:
    FailuresText write(const QList<FailedExtraction> &failures)
    {
        for (qsizetype i = 0; i < failures.size(); ++i)
            add(failures[i], i < shownFailures);
        if (failures.size() > shownFailures) {
            text.shown << QStringLiteral("… e altri %1").arg(failures.size() - shownFailures);
            text.shownIsFull = false;
        }
        return text;
    }

private:
    void add(const FailedExtraction &failure, bool shown)
    {
        const QString headline = QStringLiteral("%1: %2 %3")
                                     .arg(shownFileName(failure.archiveName),
                                          platform::extractorName, describeEnd(failure.end));
        QStringList reasons;
        for (const QByteArray &line : failure.errorOutput.lines())
            reasons << readableLine(line);
        text.full << headline;
        for (const QString &reason : reasons)
            text.full << indent + reason;
        if (const qint64 leftOut = failure.errorOutput.linesLeftOut(); leftOut > 0)
            text.full << indent + QStringLiteral("… e altre %1 righe").arg(leftOut);
        if (shown)
            addShown(headline, reasons, failure.errorOutput.linesLeftOut() > 0);
    }

    void addShown(const QString &headline, const QStringList &reasons, bool moreThanKept)
    {
        text.shown << headline;
        const qsizetype count = std::min({shownReasonsPerArchive, room, reasons.size()});
        for (qsizetype i = 0; i < count; ++i) {
            const QString line = cutShort(reasons[i]);
            text.shown << indent + line;
            text.shownIsFull = text.shownIsFull && line == reasons[i];
        }
        room -= count;
        if (count < reasons.size() || moreThanKept) {
            text.shownIsFull = false;
            if (count > 0)
                text.shown << indent + QStringLiteral("…");
        }
    }

    FailuresText text;
    qsizetype room = shownReasonsInAll;
};

} // namespace

static const QString failuresHeading =
    QStringLiteral("Alcuni archivi non sono stati scompattati del tutto:\n\n");

static QString notProcessedSentence(const QByteArrayList &notProcessed)
{
    const QString first = shownFileName(notProcessed.first());
    if (notProcessed.size() == 1)
        return QStringLiteral("1 archivio selezionato non è stato scompattato: %1.").arg(first);
    return QStringLiteral("%1 archivi selezionati non sono stati scompattati, a partire da %2; "
                          "l'elenco è nei dettagli.")
        .arg(notProcessed.size())
        .arg(first);
}

static QString notProcessedList(const QByteArrayList &notProcessed)
{
    QStringList names;
    for (const QByteArray &name : notProcessed)
        names << shownFileName(name);
    return QStringLiteral("Archivi selezionati non scompattati:\n\n") +
           names.join(QLatin1Char('\n'));
}

BatchReport batchReport(const BatchResult &result)
{
    BatchReport report;
    QStringList message;
    QStringList details;
    if (result.stoppedBy) {
        report.kind = BatchReport::Kind::Stopped;
        message << failureMessage(*result.stoppedBy);
        if (!result.notProcessed.isEmpty()) {
            message << notProcessedSentence(result.notProcessed);
            details << notProcessedList(result.notProcessed);
        }
    }
    if (!result.failedExtractions.isEmpty()) {
        if (report.kind == BatchReport::Kind::Nothing)
            report.kind = BatchReport::Kind::SomeFailed;
        const FailuresText failures = FailuresWriter().write(result.failedExtractions);
        message << failuresHeading + failures.shown.join(QLatin1Char('\n'));
        if (!failures.shownIsFull)
            details << failuresHeading + failures.full.join(QLatin1Char('\n'));
    }
    report.message = message.join(QStringLiteral("\n\n"));
    report.details = details.join(QStringLiteral("\n\n"));
    return report;
}
