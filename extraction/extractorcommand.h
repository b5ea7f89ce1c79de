// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#pragma once

#include <QByteArray>
#include <QString>

#include <array>

// One run of the extractor: the program to start and its two arguments, the
// archive path and the target, each as the file system's bytes. The arguments
// reach the extractor exactly as they are, whatever blanks, quotes or shell
// characters they hold; text() is the command line as the user would read it
// and is never split or parsed.
struct ExtractorCommand
{
    QByteArray program;
    std::array<QByteArray, 2> arguments;

    // The program and both arguments joined by single blanks, unquoted.
    QByteArray text() const;
};

// Directory texts are the user's and are turned into the file system's bytes;
// archive and folder names are those bytes already.

// The folder an archive gets in the destination directory: the destination,
// "/" and the folder name, joined without looking at the destination's last
// character.
QByteArray extractionFolderPath(const QString &destination, const QByteArray &folderName);

// The command that unpacks archiveName from the source directory into its own
// folder in the destination: the extractor in programDirectory, given the
// archive's path in the source and the folder's path in the destination.
ExtractorCommand extractorCommandIntoFolder(const QString &programDirectory, const QString &source,
                                            const QByteArray &archiveName,
                                            const QString &destination,
                                            const QByteArray &folderName);

// The command that unpacks archiveName straight into the destination
// directory: the extractor in programDirectory, given the archive's path in
// the source and the destination followed by "/".
ExtractorCommand extractorCommandIntoDestination(const QString &programDirectory,
                                                 const QString &source,
                                                 const QByteArray &archiveName,
                                                 const QString &destination);
