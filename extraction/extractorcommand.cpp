#include "extractorcommand.h"

#include "platform.h"

// Directories and names are joined as typed, so a field holding "/" gives a
// doubled separator ("//PACMAN.ZIP"), which names the same place.
static QString joined(const QString &directory, const QString &name)
{
    return directory + platform::separator + name;
}

QString ExtractorCommand::text() const
{
    return program + QLatin1Char(' ') + arguments[0] + QLatin1Char(' ') + arguments[1];
}

QString extractionFolderPath(const QString &destination, const QString &folderName)
{
    return joined(destination, folderName);
}

ExtractorCommand extractorCommandIntoFolder(const QString &programDirectory, const QString &source,
                                            const QString &archiveName, const QString &destination,
                                            const QString &folderName)
{
    return {joined(programDirectory, platform::extractorName),
            {joined(source, archiveName), extractionFolderPath(destination, folderName)}};
}

ExtractorCommand extractorCommandIntoDestination(const QString &programDirectory,
                                                 const QString &source, const QString &archiveName,
                                                 const QString &destination)
{
    return {joined(programDirectory, platform::extractorName),
            {joined(source, archiveName), joined(destination, QString())}};
}
