#include "settingsplace.h"

#include "platform.h"
#include "settingsfile.h"

#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The folder of the program's own in the user's configuration directory.
const QString configFolderName = QStringLiteral("vrillo");

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

} // namespace

QString settingsFileFor(const SettingsPlaceFacts &facts)
{
    if (facts.programDirectoryHoldsSettings || facts.programDirectoryTakesNewFiles)
        return settingsFilePath(facts.programDirectory);
    return QDir::cleanPath(userConfigDirectory(facts) + platform::separator + configFolderName +
                           platform::separator + platform::settingsFileName);
}

SettingsPlaceFacts settingsPlaceFacts(const QString &programDirectory)
{
    return {programDirectory,
            holdsEntry(programDirectory + platform::separator + platform::settingsFileName),
            canCreateFilesIn(programDirectory), qEnvironmentVariable("XDG_CONFIG_HOME"),
            QDir::homePath()};
}

QString settingsFileOfProgram(const QString &programDirectory)
{
    return settingsFileFor(settingsPlaceFacts(programDirectory));
}

bool canCreateFilesIn(const QString &directory)
{
    // access() alone would answer for the real user; AT_EACCESS asks for the
    // effective one, the user every open() of this process runs as.
    return ::faccessat(AT_FDCWD, QFile::encodeName(directory).constData(), W_OK | X_OK,
                       AT_EACCESS) == 0;
}
