// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "archivelist.h"

#include "platform.h"

#include <QFile>

namespace {

constexpr std::string_view zipSuffix = ".zip";

// The part of the search pattern before the wildcard.
QString searchedDirectory(const QString &directoryText)
{
    return directoryText + platform::separator;
}

// ASCII only on purpose: the C library's tolower follows the user's locale,
// and in a Turkish one 'I' does not fold to 'i', so "GAME.ZIP" would be lost.
char asciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool endsWithIgnoringCase(std::string_view text, std::string_view lowerSuffix)
{
    if (text.size() < lowerSuffix.size())
        return false;
    const std::string_view tail = text.substr(text.size() - lowerSuffix.size());
    for (size_t i = 0; i < tail.size(); ++i) {
        if (asciiLower(tail[i]) != lowerSuffix[i])
            return false;
    }
    return true;
}

} // namespace

bool isArchiveFileName(std::string_view fileName)
{
    return !fileName.empty() && fileName.front() != '.' &&
           endsWithIgnoringCase(fileName, zipSuffix);
}

Result<QByteArrayList> listZipArchives(const QString &directoryText)
{
    return readDirectoryNames(QFile::encodeName(searchedDirectory(directoryText)), directoryText,
                              EntryType::RegularFile, isArchiveFileName);
}
