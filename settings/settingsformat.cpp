// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "settingsformat.h"

#include <QStringDecoder>
#include <QStringList>
#include <QStringView>

#include <algorithm>
#include <cerrno>
#include <iconv.h>
#include <memory>

namespace {

const char quote = '"';
const QByteArray lineEnd = QByteArrayLiteral("\r\n");

QByteArray quotedLine(const QString &text)
{
    return quote + text.toUtf8() + quote + lineEnd;
}

// A quote would end the field early and a line end start another, and a NUL
// ends the path the extractor is given, where the field shows more.
bool fitsBetweenQuotes(const QString &text)
{
    return !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\r')) &&
           !text.contains(QLatin1Char('\n')) && !text.contains(QChar(0));
}

// The directory, as a failure names it, whose text does not fit; empty when
// both fit.
QString fieldThatDoesNotFit(const SavedDirectories &directories)
{
    if (!fitsBetweenQuotes(directories.source))
        return QStringLiteral("degli ZIP");
    if (!fitsBetweenQuotes(directories.destination))
        return QStringLiteral("di destinazione");
    return {};
}

bool holdsNul(const QString &text)
{
    return text.contains(QChar(0));
}

struct IconvCloser
{
    void operator()(void *converter) const { iconv_close(static_cast<iconv_t>(converter)); }
};
using Iconv = std::unique_ptr<void, IconvCloser>;

// Settings written on another system arrive in its code page; Windows-1252
// is the one that keeps their accented letters. A byte that code page leaves
// undefined becomes U+FFFD rather than ending the reading. Fails, told as
// "Impossibile convertire il testo di " followed by fileName, when the system
// has no converter for it.
Result<QString> fromWindows1252(const QByteArray &bytes, const QString &fileName)
{
    const iconv_t opened = iconv_open("UTF-8", "WINDOWS-1252");
    if (opened == reinterpret_cast<iconv_t>(-1))
        return Failure::fromErrno(
            QStringLiteral("Impossibile convertire il testo di %1").arg(fileName), errno);
    const Iconv converter(opened);

    static const QByteArray replacement = QStringLiteral("\uFFFD").toUtf8();
    // One byte of Windows-1252 needs at most three bytes of UTF-8, and so
    // does the replacement character.
    QByteArray utf8(bytes.size() * 3, Qt::Uninitialized);
    char *in = const_cast<char *>(bytes.constData());
    size_t inLeft = size_t(bytes.size());
    char *out = utf8.data();
    size_t outLeft = size_t(utf8.size());
    while (inLeft > 0 && iconv(static_cast<iconv_t>(converter.get()), &in, &inLeft, &out,
                               &outLeft) == size_t(-1)) {
        out = std::copy(replacement.cbegin(), replacement.cend(), out);
        outLeft -= size_t(replacement.size());
        ++in;
        --inLeft;
    }
    utf8.truncate(out - utf8.constData());
    return QString::fromUtf8(utf8);
}

// The text of the file: its bytes as UTF-8 when they are valid UTF-8.
Result<QString> decodeSettings(const QByteArray &bytes, const QString &fileName)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(bytes);
    if (!utf8.hasError())
        return text;
    return fromWindows1252(bytes, fileName);
}

QStringList linesOf(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text.split(QLatin1Char('\n'));
}

bool isBlank(const QString &line)
{
    return line.trimmed().isEmpty();
}

qsizetype indexOrEnd(QStringView line, QChar character, qsizetype from)
{
    const qsizetype found = line.indexOf(character, from);
    return found < 0 ? line.size() : found;
}

QStringList fieldsOfLine(QStringView line)
{
    QStringList fields;
    qsizetype at = 0;
    for (;;) {
        while (at < line.size() && line[at] == u' ')
            ++at;
        qsizetype fieldEnd;
        if (at < line.size() && line[at] == u'"') {
            fieldEnd = indexOrEnd(line, u'"', at + 1);
            fields << line.mid(at + 1, fieldEnd - at - 1).toString();
        } else {
            fieldEnd = indexOrEnd(line, u',', at);
            fields << line.mid(at, fieldEnd - at).toString();
        }
        const qsizetype comma = line.indexOf(u',', fieldEnd);
        if (comma < 0)
            return fields;
        at = comma + 1;
    }
}

QStringList firstTwoFields(const QString &text)
{
    QStringList fields;
    for (const QString &line : linesOf(text)) {
        if (isBlank(line))
            continue;
        fields << fieldsOfLine(line);
        if (fields.size() >= 2)
            return fields.mid(0, 2);
    }
    return fields;
}

} // namespace

Result<QByteArray> formatSettings(const SavedDirectories &directories, const QString &fileName)
{
    const QString unfit = fieldThatDoesNotFit(directories);
    if (!unfit.isEmpty())
        return Failure::ofKind(QStringLiteral("Impossibile salvare le impostazioni in %1: la "
                                              "directory %2 contiene virgolette, un a capo o un "
                                              "carattere nullo, che il file non può contenere")
                                   .arg(fileName, unfit),
                               FailureKind::SettingsCannotHold);
    return quotedLine(directories.source) + quotedLine(directories.destination);
}

Result<SavedDirectories> parseSettings(const QByteArray &bytes, const QString &fileName)
{
    const Result<QString> text = decodeSettings(bytes, fileName);
    if (!text)
        return text.failure();

    const QStringList fields = firstTwoFields(*text);
    if (fields.size() < 2)
        return Failure::ofKind(
            QStringLiteral("Impossibile leggere le due directory da %1").arg(fileName),
            FailureKind::SettingsEndEarly);
    if (holdsNul(fields[0]) || holdsNul(fields[1]))
        return Failure::ofKind(
            QStringLiteral("Impossibile leggere le due directory da %1: il file è danneggiato")
                .arg(fileName),
            FailureKind::SettingsDamaged);
    return SavedDirectories{fields[0], fields[1]};
}
