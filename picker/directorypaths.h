// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#pragma once

#include "directorynames.h"

#include <QByteArray>
#include <QByteArrayList>

// The directory list's view of the file system: paths, the chain of
// directories above a path, and the subdirectories inside one. Paths are the
// file system's bytes, so a directory whose name is not valid UTF-8 can be
// opened like any other. None of it needs a window.

// The text form of a directory path: absolute (relative paths are taken from
// the working directory), without "." or ".." parts and without a trailing
// separator; the root is the one text that ends in it.
QByteArray pathText(const QByteArray &path);

// The directories from the root down to path itself, each in text form:
// "/home/user" gives "/", "/home", "/home/user".
QByteArrayList pathChain(const QByteArray &path);

// The path of the directory called name inside directory.
QByteArray childPath(const QByteArray &directory, const QByteArray &name);

// The names of the subdirectories of directory, symbolic links to directories
// included, sorted without regard to case. Hidden directories (a name starting
// with ".") are left out, as file dialogs do. A directory that cannot be read
// gives its failure.
Result<QByteArrayList> listSubdirectories(const QByteArray &directory);
