#include "safetarget.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

Error alreadyExists()
{
    return Error{"already exists", EEXIST};
}

std::vector<std::string> split(const std::string &text, char separator)
{
    std::vector<std::string> pieces;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find(separator, start);
        pieces.push_back(text.substr(start, end - start));
        if (end == std::string::npos)
            return pieces;
        start = end + 1;
    }
}

bool startsAbsolute(const std::string &name)
{
    const bool driveLetter =
        name.size() >= 2 && std::isalpha(static_cast<unsigned char>(name[0])) && name[1] == ':';
    return name[0] == '/' || name[0] == '\\' || driveLetter;
}

// Archives made on Windows may use "\" as separator, and an extractor there
// would climb on "..\"; such a name is refused although "\" is an ordinary
// character here.
bool hasBackslashTraversal(const std::string &component)
{
    if (component.find('\\') == std::string::npos)
        return false;
    const auto pieces = split(component, '\\');
    return std::find(pieces.begin(), pieces.end(), "..") != pieces.end();
}

int openDirectoryBeneath(int directoryFd, const std::string &name)
{
    return ::openat(directoryFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

// The modes handed to the kernel, which takes the umask away.
constexpr mode_t fileMode = 0666;
constexpr mode_t executableMode = 0777;
constexpr mode_t directoryMode = 0777;

} // namespace

std::string MemberPath::text() const
{
    std::string joined;
    for (const auto &name : components) {
        if (!joined.empty())
            joined += '/';
        joined += name;
    }
    return joined;
}

namespace extractionRules {

Result<MemberPath> checkMemberPath(const std::string &name)
{
    if (name.empty())
        return Error{"empty name"};
    if (startsAbsolute(name))
        return Error{"absolute path refused"};
    MemberPath path;
    for (const auto &component : split(name, '/')) {
        if (component.empty() || component == ".")
            continue;
        if (component == "..")
            return Error{"\"..\" in path refused"};
        if (hasBackslashTraversal(component))
            return Error{"\"..\\\" in path refused"};
        path.components.push_back(component);
    }
    return path;
}

Result<void> checkLinkTarget(const MemberPath &link, const std::string &target)
{
    if (target.empty())
        return Error{"symbolic link with an empty target refused"};
    if (startsAbsolute(target))
        return Error{"symbolic link to an absolute path refused: " + target};
    const size_t depth = link.components.empty() ? 0 : link.components.size() - 1;
    size_t climbs = 0;
    bool descending = false;
    for (const auto &piece : split(target, '/')) {
        if (piece.empty() || piece == ".")
            continue;
        const bool climb = piece == "..";
        if (hasBackslashTraversal(piece) || (climb && (descending || ++climbs > depth)))
            return Error{"symbolic link leading outside the target refused: " + target};
        descending = descending || !climb;
    }
    return {};
}

} // namespace extractionRules

PendingFile::PendingFile(SafeTarget &target, UniqueFd directory, std::string directoryPath,
                         std::string name, UniqueFd file, std::string temporaryName,
                         std::vector<std::string> createdDirectories)
    : target_(target), directory_(std::move(directory)), directoryPath_(std::move(directoryPath)),
      name_(std::move(name)), file_(std::move(file)), temporaryName_(std::move(temporaryName)),
      createdDirectories_(std::move(createdDirectories))
{
}

PendingFile::~PendingFile()
{
    if (!committed_ && !temporaryName_.empty())
        ::unlinkat(directory_.get(), temporaryName_.c_str(), 0);
    file_.reset();
    target_.release(directoryPath_, committed_, createdDirectories_);
}

Result<void> PendingFile::write(const void *data, size_t size)
{
    const char *next = static_cast<const char *>(data);
    while (size > 0) {
        const ssize_t written = ::write(file_.get(), next, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return systemError("cannot write");
        }
        next += written;
        size -= static_cast<size_t>(written);
    }
    return {};
}

Result<void> PendingFile::commit(const MemberTimes &times)
{
    if (times.known) {
        const timespec both[2] = {times.accessed, times.modified};
        if (::futimens(file_.get(), both) != 0)
            return systemError("cannot set its time");
    }
    if (Result<void> linked = linkIntoPlace(); !linked)
        return linked;
    committed_ = true;
    return {};
}

Result<void> PendingFile::linkIntoPlace()
{
    if (!temporaryName_.empty()) {
        if (::renameat2(directory_.get(), temporaryName_.c_str(), directory_.get(), name_.c_str(),
                        RENAME_NOREPLACE) == 0) {
            temporaryName_.clear();
            return {};
        }
        return errno == EEXIST ? alreadyExists() : systemError("cannot name the file");
    }
    const std::string byDescriptor = "/proc/self/fd/" + std::to_string(file_.get());
    if (::linkat(AT_FDCWD, byDescriptor.c_str(), directory_.get(), name_.c_str(),
                 AT_SYMLINK_FOLLOW) == 0)
        return {};
    int error = errno;
    // Without /proc only a process allowed to look up any file may link a
    // descriptor directly.
    if (error == ENOENT) {
        if (::linkat(file_.get(), "", directory_.get(), name_.c_str(), AT_EMPTY_PATH) == 0)
            return {};
        error = errno;
    }
    return error == EEXIST ? alreadyExists() : systemError("cannot name the file", error);
}

Result<std::unique_ptr<SafeTarget>> SafeTarget::open(const std::string &path)
{
    // Like mkdir -p, but the usual case (the parent exists) costs one call.
    if (::mkdir(path.c_str(), directoryMode) != 0 && errno == ENOENT) {
        for (size_t slash = path.find('/', 1); slash != std::string::npos;
             slash = path.find('/', slash + 1))
            ::mkdir(path.substr(0, slash).c_str(), directoryMode);
        ::mkdir(path.c_str(), directoryMode);
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return systemError("cannot create or open the target directory " + path);
    return std::unique_ptr<SafeTarget>(new SafeTarget(UniqueFd(fd)));
}

SafeTarget::SafeTarget(UniqueFd root) : root_(std::move(root))
{
}

Result<UniqueFd> SafeTarget::walk(const std::vector<std::string> &names, size_t count, bool create)
{
    UniqueFd current;
    int at = root_.get();
    std::string walked;
    for (size_t i = 0; i < count; ++i) {
        const std::string &name = names[i];
        walked += (walked.empty() ? "" : "/") + name;
        int fd = openDirectoryBeneath(at, name);
        if (fd < 0 && errno == ENOENT && create) {
            if (::mkdirat(at, name.c_str(), directoryMode) == 0) {
                created_.insert(walked);
                createdForMember_.push_back(walked);
            } else if (errno != EEXIST) {
                return systemError("cannot create directory " + walked);
            }
            fd = openDirectoryBeneath(at, name);
        }
        if (fd < 0) {
            if (errno == ELOOP || errno == ENOTDIR)
                return Error{walked + " is a symbolic link or not a directory", errno};
            return systemError("cannot open directory " + walked);
        }
        current.reset(fd);
        at = fd;
    }
    return current;
}

namespace {

std::string parentText(const MemberPath &path)
{
    return MemberPath{{path.components.begin(), path.components.end() - 1}}.text();
}

} // namespace

Result<int> SafeTarget::openParent(const MemberPath &path)
{
    const size_t depth = path.components.size() - 1;
    if (depth == 0)
        return root_.get();
    std::string parentPath = parentText(path);
    if (cachedParent_.valid() && cachedParentPath_ == parentPath)
        return cachedParent_.get();
    cachedParentPath_.clear();
    Result<UniqueFd> parent = walk(path.components, depth, true);
    if (!parent) {
        cachedParent_.reset();
        return parent.error();
    }
    cachedParent_ = std::move(*parent);
    cachedParentPath_ = std::move(parentPath);
    return cachedParent_.get();
}

Result<int> SafeTarget::openMemberParent(const MemberPath &path)
{
    createdForMember_.clear();
    Result<int> parent = openParent(path);
    if (!parent)
        rollBack(createdForMember_);
    return parent;
}

void SafeTarget::rollBack(const std::vector<std::string> &created)
{
    cachedParent_.reset();
    cachedParentPath_.clear();
    for (auto it = created.rbegin(); it != created.rend(); ++it) {
        if (directoryMembers_.count(*it) != 0)
            continue;
        // A file still being written there has no name yet, so the directory
        // looks empty; whether it is left empty shows only at the end.
        if (inUse(*it))
            leftForTheEnd_.push_back(*it);
        else
            removeIfEmpty(*it);
    }
}

void SafeTarget::removeIfEmpty(const std::string &directory)
{
    const auto names = split(directory, '/');
    Result<UniqueFd> parent = walk(names, names.size() - 1, false);
    const int parentFd = names.size() == 1 ? root_.get() : parent ? parent->get() : -1;
    // Only an empty directory goes; anything put there meanwhile keeps it.
    if (parentFd >= 0 && ::unlinkat(parentFd, names.back().c_str(), AT_REMOVEDIR) == 0)
        created_.erase(directory);
}

bool SafeTarget::inUse(const std::string &directory) const
{
    return std::any_of(pendingFileDirectories_.begin(), pendingFileDirectories_.end(),
                       [&](const std::string &used) {
                           return used.compare(0, directory.size(), directory) == 0 &&
                                  (used.size() == directory.size() ||
                                   used[directory.size()] == '/');
                       });
}

void SafeTarget::release(const std::string &directoryPath, bool committed,
                         const std::vector<std::string> &createdDirectories)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    pendingFileDirectories_.erase(pendingFileDirectories_.find(directoryPath));
    if (!committed)
        rollBack(createdDirectories);
}

Result<void> SafeTarget::makeDirectory(const MemberPath &path, const MemberTimes &times)
{
    if (path.components.empty())
        return {};
    const std::lock_guard<std::mutex> lock(mutex_);
    const Result<int> parent = openMemberParent(path);
    if (!parent)
        return parent.error();
    const std::string text = path.text();
    if (::mkdirat(*parent, path.components.back().c_str(), directoryMode) == 0) {
        created_.insert(text);
    } else if (errno != EEXIST || !createdThisRun(text)) {
        const int error = errno;
        rollBack(createdForMember_);
        return error == EEXIST ? alreadyExists() : systemError("cannot create directory", error);
    }
    directoryMembers_.insert(text);
    if (times.known)
        directoryTimes_.emplace_back(path, times);
    return {};
}

Result<void> SafeTarget::makeSymlink(const MemberPath &path, const std::string &target,
                                     const MemberTimes &times)
{
    if (path.components.empty())
        return Error{"a symbolic link cannot replace the target directory"};
    const std::lock_guard<std::mutex> lock(mutex_);
    const Result<int> parent = openMemberParent(path);
    if (!parent)
        return parent.error();
    const char *name = path.components.back().c_str();
    if (::symlinkat(target.c_str(), *parent, name) != 0) {
        const int error = errno;
        rollBack(createdForMember_);
        return error == EEXIST ? alreadyExists() : systemError("cannot create the link", error);
    }
    if (times.known) {
        // A link's own time is cosmetic; the link is there either way.
        const timespec both[2] = {times.accessed, times.modified};
        ::utimensat(*parent, name, both, AT_SYMLINK_NOFOLLOW);
    }
    return {};
}

namespace {

// For file systems without O_TMPFILE (FAT, some network ones): a hidden name
// that only this process creates, with O_EXCL so nothing existing is opened.
int createTemporaryByName(int directoryFd, mode_t mode, unsigned &counter, std::string &name)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = ".pkunzip-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
        const int fd = ::openat(directoryFd, name.c_str(),
                                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

} // namespace

Result<std::unique_ptr<PendingFile>> SafeTarget::startFile(const MemberPath &path, bool executable)
{
    if (path.components.empty())
        return Error{"a file cannot replace the target directory"};
    const std::lock_guard<std::mutex> lock(mutex_);
    const Result<int> openedParent = openMemberParent(path);
    if (!openedParent)
        return openedParent.error();
    const int parent = *openedParent;
    const std::string &name = path.components.back();
    // Spares decompressing a member that cannot be placed; the final link is
    // what actually guarantees that nothing is replaced.
    struct stat existing;
    if (::fstatat(parent, name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0) {
        rollBack(createdForMember_);
        return alreadyExists();
    }
    const mode_t mode = executable ? executableMode : fileMode;
    std::string temporaryName;
    int fd = ::openat(parent, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
    if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL))
        fd = createTemporaryByName(parent, mode, temporaryCounter_, temporaryName);
    if (fd < 0) {
        const int error = errno;
        rollBack(createdForMember_);
        return systemError("cannot create the file", error);
    }
    UniqueFd data(fd);
    // The file keeps its own handle on its directory: the cached one moves on
    // with the next member while this file may still be written.
    UniqueFd directory(::fcntl(parent, F_DUPFD_CLOEXEC, 0));
    if (!directory.valid()) {
        const int error = errno;
        if (!temporaryName.empty())
            ::unlinkat(parent, temporaryName.c_str(), 0);
        rollBack(createdForMember_);
        return systemError("cannot create the file", error);
    }
    const std::string directoryPath = parentText(path);
    pendingFileDirectories_.insert(directoryPath);
    return std::make_unique<PendingFile>(*this, std::move(directory), directoryPath, name,
                                         std::move(data), temporaryName, createdForMember_);
}

Result<uint64_t> SafeTarget::room() const
{
    struct statvfs status;
    if (::fstatvfs(root_.get(), &status) != 0)
        return systemError("cannot tell the free space");
    return static_cast<uint64_t>(status.f_bavail) * status.f_frsize;
}

void SafeTarget::finish()
{
    const std::lock_guard<std::mutex> lock(mutex_);
    std::stable_sort(leftForTheEnd_.begin(), leftForTheEnd_.end(),
                     [](const std::string &a, const std::string &b) {
                         return std::count(a.begin(), a.end(), '/') >
                                std::count(b.begin(), b.end(), '/');
                     });
    for (const auto &directory : leftForTheEnd_)
        if (directoryMembers_.count(directory) == 0)
            removeIfEmpty(directory);
    std::stable_sort(directoryTimes_.begin(), directoryTimes_.end(),
                     [](const auto &a, const auto &b) {
                         return a.first.components.size() > b.first.components.size();
                     });
    for (const auto &[path, times] : directoryTimes_) {
        if (!createdThisRun(path.text()))
            continue;
        const Result<UniqueFd> directory = walk(path.components, path.components.size(), false);
        const timespec both[2] = {times.accessed, times.modified};
        // The directory is already reported as written; its time is cosmetic.
        if (directory)
            ::futimens(directory->get(), both);
    }
}
