#pragma once

#include "failure.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <string_view>

#include <sys/types.h>

// What one reading of a directory gave: the names it kept, in the order the
// file system yields them, or, when the directory could not be opened or read,
// no names and the failure.
struct DirectoryNames
{
    QStringList names;
    std::optional<Failure> failure;
};

// Reads the directory at path and keeps each entry whose name, as the file
// system's bytes, passes keep and whose type, following symbolic links, is
// type (S_IFREG, S_IFDIR); names are decoded from those bytes. A failure is
// told as "Impossibile leggere la directory " followed by shownAs.
DirectoryNames readDirectoryNames(const QString &path, const QString &shownAs, mode_t type,
                                  bool (*keep)(std::string_view name));
