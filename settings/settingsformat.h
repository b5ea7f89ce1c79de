// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#pragma once

#include "result.h"

#include <QByteArray>
#include <QString>

// The two directories the program remembers between runs.
struct SavedDirectories
{
    QString source;      // the text of origine
    QString destination; // the text of destinazione
};

// The content of a settings file holding directories: two lines, each a
// double quote, the text in UTF-8 unchanged, a double quote and CR LF. A
// text holding a double quote, a line end or a NUL character would read back
// as another text, so it is refused, the failure naming the settings file
// fileName and the field that holds it.
Result<QByteArray> formatSettings(const SavedDirectories &directories, const QString &fileName);

// The directories held in bytes, the content of the settings file fileName
// (named in a failure). Bytes that are not valid UTF-8 are read as
// Windows-1252. Fields are separated by commas and line ends (CR LF, LF or
// CR); blank lines are skipped, as are the spaces before a field. A quoted
// field ends at the next quote on its line, keeping commas and spaces, and
// whatever follows it up to the next comma is dropped; any other field is
// the text up to the next comma or line end, unchanged. The first field is
// the source, the second the destination; fewer than two fields is a
// failure, and so is a directory holding a NUL character, which no save
// writes and no path can hold.
Result<SavedDirectories> parseSettings(const QByteArray &bytes, const QString &fileName);
