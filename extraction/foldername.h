#pragma once

#include "failure.h"

#include <QString>

#include <variant>

// The folder an archive is extracted into, named after the archive: a name of
// 4 to 11 characters loses its last four, a name of 12 or more keeps its
// first eight, and trailing blanks are then removed. Letter case is kept and
// the extension is never looked at, so ".ZIP" gives an empty name. Characters
// are Unicode code points, not bytes or UTF-16 units. A name of fewer than
// four characters has no folder name and gives a Failure instead.
std::variant<QString, Failure> deriveFolderName(const QString &archiveName);
