// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "settingsplace.h"

#include "platform.h"

#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString settingsFileName = QStringLiteral("ini.ini");

// The folder of the program's own in the user's configuration directory.
const QString configFolderName = QStringLiteral("vrillo");

QString besideProgram(const QString &programDirectory)
{
    return programDirectory + platform::separator + settingsFileName;
}

QString userConfigDirectory(const SettingsPlaceFacts &facts)
{
    // Relative values are invalid by the base directory rules and are ignored.
    if (QDir::isAbsolutePath(facts.configHome))
        return facts.configHome;
    return facts.home + platform::separator + QStringLiteral(".config");
}

bool holdsEntry(const QString &path)
{
    struct stat status;
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0;
}

// Whether this process may create files in directory, judged as the kernel
// judges it: by the effective user and group and their capabilities, and
// refused on a read-only file system, so root may write where others may not.
bool canCreateFilesIn(const QString &directory)
{
    // access() alone would answer for the real user; AT_EACCESS asks for the
    // effective one, the user every open() of this process runs as.
    return ::faccessat(AT_FDCWD, QFile::encodeName(directory).constData(), W_OK | X_OK,
                       AT_EACCESS) == 0;
}

} // namespace

QString settingsFileFor(const SettingsPlaceFacts &facts)
{
    const bool besideIsUsable =
        facts.programDirectoryHoldsSettings || facts.programDirectoryTakesNewFiles;
    if (facts.copy == ProgramCopy::Portable && besideIsUsable)
        return besideProgram(facts.programDirectory);
    return QDir::cleanPath(userConfigDirectory(facts) + platform::separator + configFolderName +
                           platform::separator + settingsFileName);
}

QString settingsFileOfProgram(const QString &programDirectory, ProgramCopy copy)
{
    return settingsFileFor({programDirectory, holdsEntry(besideProgram(programDirectory)),
                            canCreateFilesIn(programDirectory),
                            qEnvironmentVariable("XDG_CONFIG_HOME"), QDir::homePath(), copy});
}
