// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "directorynames.h"

#include <QByteArrayView>

#include <cerrno>
#include <memory>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

struct DirectoryCloser
{
    void operator()(DIR *directory) const { closedir(directory); }
};
using DirectoryHandle = std::unique_ptr<DIR, DirectoryCloser>;

mode_t fileTypeOf(EntryType type)
{
    return type == EntryType::Directory ? S_IFDIR : S_IFREG;
}

// Most file systems report the type in the entry itself; only links, which
// count as what they lead to, and entries of unreported type cost a stat.
bool hasType(DIR *directory, const dirent &entry, mode_t type)
{
    if (entry.d_type == IFTODT(type))
        return true;
    if (entry.d_type != DT_LNK && entry.d_type != DT_UNKNOWN)
        return false;
    struct stat status;
    return fstatat(dirfd(directory), entry.d_name, &status, 0) == 0 &&
           (status.st_mode & S_IFMT) == type;
}

Failure unreadable(const QString &shownAs, int errorNumber)
{
    return Failure::fromErrno(QStringLiteral("Impossibile leggere la directory %1").arg(shownAs),
                              errorNumber);
}

} // namespace

Result<QByteArrayList> readDirectoryNames(const QByteArray &path, const QString &shownAs,
                                          EntryType type, bool (*keep)(std::string_view name))
{
    const DirectoryHandle directory(opendir(path.constData()));
    if (!directory)
        return unreadable(shownAs, errno);

    const mode_t wanted = fileTypeOf(type);
    QByteArrayList names;
    // readdir tells the end from an error only through errno, which the work
    // on each entry may change, so it is cleared before every call.
    errno = 0;
    while (const dirent *entry = readdir(directory.get())) {
        if (keep(entry->d_name) && hasType(directory.get(), *entry, wanted))
            names.append(QByteArray(entry->d_name));
        errno = 0;
    }
    if (errno != 0)
        return unreadable(shownAs, errno);
    return names;
}

qsizetype utf8CharacterLength(QByteArrayView name, qsizetype position)
{
    const auto lead = static_cast<unsigned char>(name[position]);
    const qsizetype expected = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    const bool whole =
        position + expected <= name.size() && name.sliced(position, expected).isValidUtf8();
    return whole ? expected : 1;
}

QString shownFileName(const QByteArray &name)
{
    return QString::fromUtf8(name);
}

std::optional<QString> exactFileNameText(const QByteArray &name)
{
    if (!QByteArrayView(name).isValidUtf8())
        return std::nullopt;
    return QString::fromUtf8(name);
}
