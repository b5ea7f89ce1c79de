// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "foldername.h"

#include "directorynames.h"

#include <QByteArrayView>
#include <QList>

static constexpr qsizetype lostTail = 4;
static constexpr qsizetype longestToLoseTail = 11;
static constexpr qsizetype keptOfLongName = 8;

static QByteArray withoutTrailingBlanks(QByteArray name)
{
    while (name.endsWith(' '))
        name.chop(1);
    return name;
}

// Where each character of name ends, in bytes.
static QList<qsizetype> characterEnds(QByteArrayView name)
{
    QList<qsizetype> ends;
    for (qsizetype position = 0; position < name.size(); position = ends.last())
        ends << position + utf8CharacterLength(name, position);
    return ends;
}

Result<QByteArray> deriveFolderName(const QByteArray &archiveName)
{
    const QList<qsizetype> ends = characterEnds(archiveName);
    const qsizetype length = ends.size();
    if (length < lostTail)
        return Failure::ofKind(
            QStringLiteral("Impossibile ricavare il nome della cartella da \"%1\"")
                .arg(shownFileName(archiveName)),
            FailureKind::NameTooShortForFolder);

    const qsizetype kept = length > longestToLoseTail ? keptOfLongName : length - lostTail;
    return withoutTrailingBlanks(archiveName.first(kept == 0 ? 0 : ends[kept - 1]));
}
