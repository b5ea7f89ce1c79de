#pragma once

#include <QDir>
#include <QFile>
#include <QStringList>

#include <algorithm>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

// Builds the directories the archive list is tested on, and reads them back
// with a bare readdir to learn the order the file system yields.
namespace fixture {

enum class Kind { File, Directory, LinkToFile, LinkToLink, LinkToDirectory, BrokenLink, Fifo };

inline bool makeLink(const QString &target, const QString &linkPath)
{
    return symlink(QFile::encodeName(target).constData(),
                   QFile::encodeName(linkPath).constData()) == 0;
}

// Makes the entry called name in directory; the targets of links are made
// beside it under names the list never shows.
inline bool make(const QString &directory, const QString &name, Kind kind = Kind::File)
{
    const QString path = directory + QLatin1Char('/') + name;
    switch (kind) {
    case Kind::File:
        return QFile(path).open(QIODevice::WriteOnly);
    case Kind::Directory:
        return QDir().mkdir(path);
    case Kind::LinkToFile:
        return make(directory, QStringLiteral("target.bin")) &&
               makeLink(QStringLiteral("target.bin"), path);
    case Kind::LinkToLink:
        return make(directory, QStringLiteral("middle.lnk"), Kind::LinkToFile) &&
               makeLink(QStringLiteral("middle.lnk"), path);
    case Kind::LinkToDirectory:
        return make(directory, QStringLiteral("subdir"), Kind::Directory) &&
               makeLink(QStringLiteral("subdir"), path);
    case Kind::BrokenLink:
        return makeLink(QStringLiteral("nothing-here"), path);
    case Kind::Fifo:
        return mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
    }
    return false;
}

inline bool makeFiles(const QString &directory, const QStringList &names)
{
    return std::all_of(names.begin(), names.end(),
                       [&](const QString &name) { return make(directory, name); });
}

// The archives of the mixed directory.
inline const QStringList mixedArchives = {QStringLiteral("GAME1.ZIP"), QStringLiteral("game2.zip")};

// Two archives among a text file, a directory named like an archive, a hidden
// archive and links to a directory and to nowhere, none of which is listed.
inline bool makeMixedDirectory(const QString &directory)
{
    return makeFiles(directory, {QStringLiteral("GAME1.ZIP"), QStringLiteral("readme.txt"),
                                 QStringLiteral(".x.zip"), QStringLiteral("game2.zip")}) &&
           make(directory, QStringLiteral("old.zip"), Kind::Directory) &&
           make(directory, QStringLiteral("folder.zip"), Kind::LinkToDirectory) &&
           make(directory, QStringLiteral("broken.zip"), Kind::BrokenLink);
}

// Those of names that lie in directory, in the order readdir yields them.
inline QStringList inReaddirOrder(const QString &directory, const QStringList &names)
{
    QStringList ordered;
    DIR *handle = opendir(QFile::encodeName(directory).constData());
    if (!handle)
        return ordered;
    while (const dirent *entry = readdir(handle)) {
        const QString name = QFile::decodeName(entry->d_name);
        if (names.contains(name))
            ordered << name;
    }
    closedir(handle);
    return ordered;
}

} // namespace fixture
