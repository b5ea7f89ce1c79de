// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#pragma once

#include "result.h"

#include <QByteArray>

// The folder an archive is extracted into, named after the archive: a name of
// 4 to 11 characters loses its last four, a name of 12 or more keeps its
// first eight, and trailing blanks are then removed. Letter case is kept and
// the extension is never looked at, so ".ZIP" gives an empty name. Names are
// the file system's bytes; a character is a whole UTF-8 sequence, or a byte
// that is no part of one, which is kept as it is. A name of fewer than four
// characters has no folder name and gives a Failure instead.
Result<QByteArray> deriveFolderName(const QByteArray &archiveName);
