#pragma once

#include <QDir>
#include <QFile>
#include <QStringList>

#include <dirent.h>
#include <unistd.h>

// Builds the directories the archive list is tested on, and reads them back
// with a bare readdir to learn the order the file system yields.
namespace fixture {

inline bool makeFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly);
}

inline bool makeDirectory(const QString &path)
{
    return QDir().mkdir(path);
}

inline bool makeLink(const QString &target, const QString &linkPath)
{
    return symlink(QFile::encodeName(target).constData(),
                   QFile::encodeName(linkPath).constData()) == 0;
}

inline bool makeFiles(const QString &directory, const QStringList &names)
{
    for (const QString &name : names) {
        if (!makeFile(directory + QLatin1Char('/') + name))
            return false;
    }
    return true;
}

// The archives of the mixed directory: two files and a link to one of them.
inline const QStringList mixedArchives = {QStringLiteral("GAME1.ZIP"), QStringLiteral("game2.zip"),
                                          QStringLiteral("alias.zip")};

// Archives among a text file, a directory named like an archive, a hidden
// archive and links to a directory and to nowhere, none of which is listed.
inline bool makeMixedDirectory(const QString &directory)
{
    const QString in = directory + QLatin1Char('/');
    return makeFile(in + QStringLiteral("GAME1.ZIP")) &&
           makeFile(in + QStringLiteral("readme.txt")) &&
           makeDirectory(in + QStringLiteral("old.zip")) &&
           makeFile(in + QStringLiteral(".x.zip")) && makeFile(in + QStringLiteral("game2.zip")) &&
           makeLink(QStringLiteral("GAME1.ZIP"), in + QStringLiteral("alias.zip")) &&
           makeLink(QStringLiteral("old.zip"), in + QStringLiteral("folder.zip")) &&
           makeLink(QStringLiteral("missing"), in + QStringLiteral("broken.zip"));
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
