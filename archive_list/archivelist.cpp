#include "archivelist.h"

#include "platform.h"

#include <QFile>

#include <cerrno>
#include <memory>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

constexpr std::string_view zipSuffix = ".zip";

struct DirectoryCloser
{
    void operator()(DIR *directory) const { closedir(directory); }
};
using DirectoryHandle = std::unique_ptr<DIR, DirectoryCloser>;

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

// Most file systems report the type in the entry itself; only links, which
// count as what they lead to, and entries of unreported type cost a stat.
bool isRegularFile(DIR *directory, const dirent &entry)
{
    if (entry.d_type == DT_REG)
        return true;
    if (entry.d_type != DT_LNK && entry.d_type != DT_UNKNOWN)
        return false;
    struct stat status;
    return fstatat(dirfd(directory), entry.d_name, &status, 0) == 0 && S_ISREG(status.st_mode);
}

ArchiveListing unreadable(const QString &directoryText, int errorNumber)
{
    return {
        {},
        Failure::fromErrno(QStringLiteral("Impossibile leggere la directory %1").arg(directoryText),
                           errorNumber)};
}

} // namespace

bool isArchiveFileName(std::string_view fileName)
{
    return !fileName.empty() && fileName.front() != '.' &&
           endsWithIgnoringCase(fileName, zipSuffix);
}

ArchiveListing listZipArchives(const QString &directoryText)
{
    const DirectoryHandle directory(
        opendir(QFile::encodeName(searchedDirectory(directoryText)).constData()));
    if (!directory)
        return unreadable(directoryText, errno);

    ArchiveListing listing;
    // readdir tells the end from an error only through errno, which the work
    // on each entry may change, so it is cleared before every call.
    errno = 0;
    while (const dirent *entry = readdir(directory.get())) {
        if (isArchiveFileName(entry->d_name) && isRegularFile(directory.get(), *entry))
            listing.names.append(QFile::decodeName(entry->d_name));
        errno = 0;
    }
    if (errno != 0)
        return unreadable(directoryText, errno);
    return listing;
}
