// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "directorypaths.h"

#include "platform.h"

#include <QDir>
#include <QFile>

#include <algorithm>

static const QByteArray separator = QFile::encodeName(platform::separator);

QByteArray pathText(const QByteArray &path)
{
    const QByteArray absolute = path.startsWith(separator)
                                    ? path
                                    : QFile::encodeName(QDir::currentPath()) + separator + path;
    // Resolved by name, as a file dialog does; the root is its own parent.
    QByteArrayList parts;
    for (const QByteArray &part : absolute.split(separator.front())) {
        if (part.isEmpty() || part == ".")
            continue;
        if (part == "..") {
            if (!parts.isEmpty())
                parts.removeLast();
            continue;
        }
        parts << part;
    }
    return separator + parts.join(separator);
}

QByteArrayList pathChain(const QByteArray &path)
{
    const QByteArray full = pathText(path);
    QByteArrayList chain{separator};
    QByteArray walked;
    for (const QByteArray &part : full.split(separator.front())) {
        if (part.isEmpty())
            continue;
        walked += separator + part;
        chain << walked;
    }
    return chain;
}

QByteArray childPath(const QByteArray &directory, const QByteArray &name)
{
    return pathText(directory + separator + name);
}

static bool shownInList(std::string_view name)
{
    return name.empty() || name.front() != '.';
}

static void sortLikeAFileDialog(QByteArrayList &names)
{
    std::sort(names.begin(), names.end(), [](const QByteArray &a, const QByteArray &b) {
        const int caseless = shownFileName(a).compare(shownFileName(b), Qt::CaseInsensitive);
        return caseless != 0 ? caseless < 0 : a < b;
    });
}

Result<QByteArrayList> listSubdirectories(const QByteArray &directory)
{
    Result<QByteArrayList> names =
        readDirectoryNames(directory, shownFileName(directory), EntryType::Directory, shownInList);
    if (names)
        sortLikeAFileDialog(*names);
    return names;
}
