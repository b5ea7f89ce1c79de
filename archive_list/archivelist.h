// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#pragma once

#include "directorynames.h"

#include <QString>

#include <string_view>

// Whether a bare file name, as the file system's bytes, is one the list
// shows when it names a regular file: it ends in ".zip" in any letter case
// and is not hidden (does not start with ".").
bool isArchiveFileName(std::string_view fileName);

// The archives matched by directoryText followed by "/*.zip", the text taken
// exactly as given: nothing is trimmed or dropped, so "/" searches "//*.zip"
// (still the root) and an empty text "/*.zip". Listed are every regular file,
// or link leading to one, with an archive file name, in the order the file
// system yields them, unsorted, each a bare name as the file system's bytes.
// A directory that cannot be opened or read gives its failure.
Result<QByteArrayList> listZipArchives(const QString &directoryText);
