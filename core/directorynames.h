// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#pragma once

#include "result.h"

#include <QByteArrayList>
#include <QByteArrayView>
#include <QString>

#include <optional>
#include <string_view>

// A file name or path is kept as the file system's bytes, which need not be
// valid UTF-8 (names copied from old media are often Latin-1): only its own
// bytes lead back to the file.

// The kind of entry a directory reading keeps.
enum class EntryType { RegularFile, Directory };

// Reads the directory at path and keeps each entry whose name passes keep and
// whose type, following symbolic links, is type: the names,
// each as the file system's bytes, in the order the file system yields them.
// A directory that cannot be opened or read gives its failure, told as
// "Impossibile leggere la directory " followed by shownAs.
Result<QByteArrayList> readDirectoryNames(const QByteArray &path, const QString &shownAs,
                                          EntryType type, bool (*keep)(std::string_view name));

// The length in bytes of the character that starts at position in name: a
// whole UTF-8 sequence, or else the one byte there, which no sequence holds.
qsizetype utf8CharacterLength(QByteArrayView name, qsizetype position);

// A file name or path as the user reads it: its bytes decoded as UTF-8, a byte
// that is no part of a valid sequence shown as the replacement character.
QString shownFileName(const QByteArray &name);

// The text that stands for exactly these bytes, so that a text field can hold
// the name unchanged; none when the bytes are not valid UTF-8.
std::optional<QString> exactFileNameText(const QByteArray &name);
