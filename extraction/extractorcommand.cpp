// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "extractorcommand.h"

#include "platform.h"

#include <QFile>

// Directories and names are joined as typed, so a field holding "/" gives a
// doubled separator ("//PACMAN.ZIP"), which names the same place.
static QByteArray joined(const QString &directory, const QByteArray &name)
{
    return QFile::encodeName(directory + platform::separator) + name;
}

QByteArray ExtractorCommand::text() const
{
    return program + ' ' + arguments[0] + ' ' + arguments[1];
}

QByteArray extractionFolderPath(const QString &destination, const QByteArray &folderName)
{
    return joined(destination, folderName);
}

static QByteArray extractorPath(const QString &programDirectory)
{
    return joined(programDirectory, QFile::encodeName(platform::extractorName));
}

ExtractorCommand extractorCommandIntoFolder(const QString &programDirectory, const QString &source,
                                            const QByteArray &archiveName,
                                            const QString &destination,
                                            const QByteArray &folderName)
{
    return {extractorPath(programDirectory),
            {joined(source, archiveName), extractionFolderPath(destination, folderName)}};
}

ExtractorCommand extractorCommandIntoDestination(const QString &programDirectory,
                                                 const QString &source,
                                                 const QByteArray &archiveName,
                                                 const QString &destination)
{
    return {extractorPath(programDirectory),
            {joined(source, archiveName), joined(destination, QByteArray())}};
}
