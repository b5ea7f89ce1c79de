#include "directorypaths.h"

#include "platform.h"

#include <QDir>

#include <algorithm>
#include <cerrno>
#include <memory>

#include <dirent.h>
#include <fcntl.h>
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

static Failure readFailure(const QString &directory, int errorNumber)
{
    return Failure::fromErrno(QStringLiteral("Impossibile leggere la directory %1").arg(directory),
                              errorNumber);
}

// The entry type comes free with most file systems; symbolic links and file
// systems that leave it unknown need a stat of the target.
static bool isDirectory(int directoryHandle, const dirent &entry)
{
    if (entry.d_type == DT_DIR)
        return true;
    if (entry.d_type != DT_LNK && entry.d_type != DT_UNKNOWN)
        return false;
    struct stat target;
    return fstatat(directoryHandle, entry.d_name, &target, 0) == 0 && S_ISDIR(target.st_mode);
}

static bool shownInList(const QString &name)
{
    return !name.startsWith(QLatin1Char('.'));
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
    const std::unique_ptr<DIR, int (*)(DIR *)> handle(opendir(QFile::encodeName(directory)),
                                                      closedir);
    if (!handle)
        return {{}, readFailure(directory, errno)};

    Subdirectories result;
    for (;;) {
        errno = 0;
        const dirent *entry = readdir(handle.get());
        if (!entry)
            break;
        const QString name = QFile::decodeName(entry->d_name);
        if (shownInList(name) && isDirectory(dirfd(handle.get()), *entry))
            result.names << name;
    }
    if (errno != 0)
        return {{}, readFailure(directory, errno)};

    sortLikeAFileDialog(result.names);
    return result;
}
