#include "directorypaths.h"

#include "platform.h"

#include <QDir>

#include <algorithm>

#include <sys/stat.h>

QString pathText(const QString &path)
{
    QString text = QDir::cleanPath(QDir(path).absolutePath());
    // cleanPath keeps a ".." that would climb above the root; the root is its own parent.
    const QString aboveRoot = platform::separator + QStringLiteral("..");
    while (text == aboveRoot || text.startsWith(aboveRoot + platform::separator))
        text = text.mid(aboveRoot.size());
    return text.isEmpty() ? platform::rootText : text;
}

QStringList pathChain(const QString &path)
{
    const QString full = pathText(path);
    QStringList chain{platform::rootText};
    QString walked;
    for (const QString &part : full.split(platform::separator, Qt::SkipEmptyParts)) {
        walked += platform::separator + part;
        chain << walked;
    }
    return chain;
}

QString childPath(const QString &directory, const QString &name)
{
    return pathText(directory + platform::separator + name);
}

static bool shownInList(std::string_view name)
{
    return name.empty() || name.front() != '.';
}

static void sortLikeAFileDialog(QStringList &names)
{
    std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        const int caseless = a.compare(b, Qt::CaseInsensitive);
        return caseless != 0 ? caseless < 0 : a < b;
    });
}

Subdirectories listSubdirectories(const QString &directory)
{
    Subdirectories result = readDirectoryNames(directory, directory, S_IFDIR, shownInList);
    sortLikeAFileDialog(result.names);
    return result;
}
