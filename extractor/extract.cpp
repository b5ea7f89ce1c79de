#include "extract.h"

#include "membername.h"
#include "safetarget.h"
#include "uniquefd.h"

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <locale.h>
#include <memory>
#include <mutex>
#include <optional>
#include <pthread.h>
#include <sched.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

struct ArchiveReadFree
{
    void operator()(archive *reader) const { archive_read_free(reader); }
};
using ArchiveReader = std::unique_ptr<archive, ArchiveReadFree>;

// Every fresh page a run touches costs a page fault, dearer than a system
// call. libarchive inflates one read block at a time into the start of its own
// buffer, so the block size also sets how much of that buffer is touched:
// 256 KB blocks cost a typical ROM archive about 100 more faults, over a
// millisecond of its nine, than 32 KB blocks, which cost a few more reads.
constexpr size_t readBlockSize = 32 * 1024;

std::string errorOf(archive *reader)
{
    const char *text = archive_error_string(reader);
    return text != nullptr ? text : "unknown error";
}

// The archive is opened here rather than by name inside libarchive so that a
// FIFO or device cannot block or feed the run, and so that no name ("-")
// means standard input.
UniqueFd openArchiveFile(const std::string &path, off_t &size, Report &report)
{
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    struct stat status;
    if (!fd.valid() || ::fstat(fd.get(), &status) != 0) {
        report.fatal(std::string("cannot open the archive: ") + std::strerror(errno));
        return {};
    }
    // O_NONBLOCK, kept, means nothing for a regular file.
    if (!S_ISREG(status.st_mode)) {
        report.fatal("not a regular file");
        return {};
    }
    size = status.st_size;
    return fd;
}

// libarchive's seekable reader refuses a ZIP without members, which is a
// valid, if empty, archive: just an end-of-central-directory record, perhaps
// followed by its comment, that counts no entries.
bool isEmptyZip(int fd)
{
    constexpr size_t recordSize = 22;
    constexpr size_t longestComment = 0xFFFF;
    struct stat status;
    if (::fstat(fd, &status) != 0 || static_cast<size_t>(status.st_size) < recordSize)
        return false;
    const auto fileSize = static_cast<size_t>(status.st_size);
    const size_t tailSize = std::min(fileSize, recordSize + longestComment);
    std::string tail(tailSize, '\0');
    const off_t tailStart = static_cast<off_t>(fileSize - tailSize);
    if (::pread(fd, tail.data(), tailSize, tailStart) != static_cast<ssize_t>(tailSize))
        return false;
    const auto byteAt = [&](size_t at) { return static_cast<unsigned char>(tail[at]); };
    for (size_t at = tailSize - recordSize + 1; at-- > 0;) {
        if (tail.compare(at, 4, "PK\x05\x06") != 0)
            continue;
        const size_t commentLength = byteAt(at + 20) | byteAt(at + 21) << 8;
        if (at + recordSize + commentLength != tailSize)
            continue;
        for (size_t field = 4; field < 20; ++field)
            if (byteAt(at + field) != 0)
                return false;
        return true;
    }
    return false;
}

// The archive file as one reader sees it. Each reader keeps its own position
// and reads with pread, so several can read the one open file side by side.
struct ArchiveSource
{
    // The buffer is left uninitialised: a small archive touches only the
    // pages it reads into.
    ArchiveSource(int fd, off_t size) : fd(fd), size(size), buffer(new char[readBlockSize]) {}

    int fd;
    off_t size;
    off_t position = 0;
    std::unique_ptr<char[]> buffer;
};

la_ssize_t readSource(archive *reader, void *data, const void **block)
{
    auto &source = *static_cast<ArchiveSource *>(data);
    ssize_t got;
    do
        got = ::pread(source.fd, source.buffer.get(), readBlockSize, source.position);
    while (got < 0 && errno == EINTR);
    if (got < 0) {
        archive_set_error(reader, errno, "cannot read the archive: %s", std::strerror(errno));
        return ARCHIVE_FATAL;
    }
    source.position += got;
    *block = source.buffer.get();
    return got;
}

la_int64_t seekSource(archive *, void *data, la_int64_t offset, int whence)
{
    auto &source = *static_cast<ArchiveSource *>(data);
    const la_int64_t base = whence == SEEK_SET   ? 0
                            : whence == SEEK_CUR ? source.position
                                                 : source.size;
    if (base + offset < 0)
        return ARCHIVE_FATAL;
    source.position = base + offset;
    return source.position;
}

// Skipping past the end is allowed: the next read then finds nothing.
la_int64_t skipSource(archive *, void *data, la_int64_t request)
{
    static_cast<ArchiveSource *>(data)->position += request;
    return request;
}

ArchiveReader openZipReader(ArchiveSource &source, std::string &problem)
{
    source.position = 0;
    ArchiveReader reader(archive_read_new());
    if (!reader) {
        problem = "out of memory";
        return nullptr;
    }
    // Only the seekable ZIP reader, which trusts the central directory; no
    // other format and no filter, so nothing else is linked in or guessed at.
    archive_read_set_read_callback(reader.get(), readSource);
    archive_read_set_seek_callback(reader.get(), seekSource);
    archive_read_set_skip_callback(reader.get(), skipSource);
    archive_read_set_callback_data(reader.get(), &source);
    if (archive_read_support_format_zip_seekable(reader.get()) != ARCHIVE_OK ||
        archive_read_open1(reader.get()) != ARCHIVE_OK) {
        problem = "not a readable ZIP archive: " + errorOf(reader.get());
        return nullptr;
    }
    return reader;
}

MemberTimes timesOf(archive_entry *entry)
{
    MemberTimes times;
    if (!archive_entry_mtime_is_set(entry))
        return times;
    times.known = true;
    times.modified = {archive_entry_mtime(entry), archive_entry_mtime_nsec(entry)};
    // The access time is left as the system sets it: ZIP archives rarely
    // record one, and libarchive reports 1970 for those that do not.
    times.accessed = {0, UTIME_OMIT};
    return times;
}

// What happened to one member: the run goes on after anything but a failure
// of the archive itself.
enum class Outcome { Done, MemberFailed, ArchiveBroken };

Outcome copyData(archive *reader, PendingFile &file, const std::string &name, MemberLines &report)
{
    la_int64_t expectedOffset = 0;
    for (;;) {
        const void *data = nullptr;
        size_t size = 0;
        la_int64_t offset = 0;
        const int status = archive_read_data_block(reader, &data, &size, &offset);
        if (status == ARCHIVE_EOF)
            return Outcome::Done;
        // The last block of a member comes with the CRC and size checks; a
        // warning there means the data is damaged, so it is never kept.
        if (status != ARCHIVE_OK) {
            report.problem(name, errorOf(reader));
            return status == ARCHIVE_FATAL ? Outcome::ArchiveBroken : Outcome::MemberFailed;
        }
        if (offset != expectedOffset) {
            report.problem(name, "data out of order");
            return Outcome::MemberFailed;
        }
        if (auto problem = file.write(data, size)) {
            report.problem(name, *problem);
            return Outcome::MemberFailed;
        }
        expectedOffset += static_cast<la_int64_t>(size);
    }
}

Outcome extractFile(archive *reader, archive_entry *entry, const MemberPath &path,
                    const std::string &name, SafeTarget &target, MemberLines &report)
{
    if (archive_entry_is_data_encrypted(entry)) {
        report.problem(name, "encrypted; no password is asked for");
        return Outcome::Done;
    }
    const bool executable = (archive_entry_perm(entry) & 0111) != 0;
    std::unique_ptr<PendingFile> file;
    if (auto problem = target.startFile(path, executable, file)) {
        report.problem(name, *problem);
        return Outcome::Done;
    }
    const Outcome outcome = copyData(reader, *file, name, report);
    if (outcome != Outcome::Done)
        return outcome;
    if (auto problem = file->commit(timesOf(entry))) {
        report.problem(name, *problem);
        return Outcome::Done;
    }
    report.written(path.text());
    return Outcome::Done;
}

void extractSymlink(archive_entry *entry, const MemberPath &path, const std::string &name,
                    SafeTarget &target, MemberLines &report)
{
    const char *rawTarget = archive_entry_symlink(entry);
    const auto linkTarget = rawTarget != nullptr
                                ? std::optional<std::string>(memberName::decode(rawTarget))
                                : std::nullopt;
    if (!linkTarget) {
        report.problem(name, "the link's target cannot be read");
        return;
    }
    auto problem = extractionRules::checkLinkTarget(path, *linkTarget);
    if (!problem)
        problem = target.makeSymlink(path, *linkTarget, timesOf(entry));
    if (problem)
        report.problem(name, *problem);
    else
        report.written(path.text() + " -> " + *linkTarget);
}

Outcome extractMember(archive *reader, archive_entry *entry, SafeTarget &target,
                      MemberLines &report)
{
    const char *raw = archive_entry_pathname(entry);
    if (raw == nullptr) {
        report.problem("(unnamed member)", "its name cannot be read: " + errorOf(reader));
        return Outcome::Done;
    }
    const std::string name = memberName::decode(raw);
    std::string refusal;
    const auto path = extractionRules::checkMemberPath(name, refusal);
    if (!path) {
        report.problem(name, refusal);
        return Outcome::Done;
    }
    switch (archive_entry_filetype(entry)) {
    case AE_IFREG:
        return extractFile(reader, entry, *path, name, target, report);
    case AE_IFDIR:
        if (auto problem = target.makeDirectory(*path, timesOf(entry)))
            report.problem(name, *problem);
        else
            report.written(path->components.empty() ? "./" : path->text() + "/");
        return Outcome::Done;
    case AE_IFLNK:
        extractSymlink(entry, *path, name, target, report);
        return Outcome::Done;
    default:
        report.problem(name, "not a file, directory or symbolic link");
        return Outcome::Done;
    }
}

Outcome reportUnreadableHeader(archive *reader, archive_entry *entry, MemberLines &report)
{
    const char *raw = archive_entry_pathname(entry);
    const std::string name =
        raw != nullptr ? memberName::decode(raw) : std::string("(unnamed member)");
    report.problem(name, errorOf(reader));
    return Outcome::Done;
}

// libarchive gives up on the whole archive after corrupt or truncated data in
// one member. The central directory still lists the rest, so a fresh reader
// is led past the members already handled and the run goes on.
ArchiveReader reopenAt(ArchiveSource &source, size_t membersHandled, std::string &problem)
{
    ArchiveReader reader = openZipReader(source, problem);
    for (size_t i = 0; reader && i < membersHandled; ++i) {
        archive_entry *entry = nullptr;
        const int status = archive_read_next_header(reader.get(), &entry);
        if (status == ARCHIVE_FATAL || status == ARCHIVE_EOF) {
            problem = errorOf(reader.get());
            return nullptr;
        }
    }
    return reader;
}

// The program runs in the C locale, where libarchive cannot hand out any
// name it converts from UTF-8 (flagged names, Info-ZIP Unicode Path fields)
// and gives none at all. Loading a UTF-8 locale costs more than the rest of a
// small archive's extraction, so a thread does it only when such a name turns
// up, and for itself alone. The result is the same whatever the user's locale.
class Utf8Locale
{
public:
    Utf8Locale() = default;
    Utf8Locale(const Utf8Locale &) = delete;
    Utf8Locale &operator=(const Utf8Locale &) = delete;
    ~Utf8Locale()
    {
        if (locale_ == nullptr)
            return;
        ::uselocale(LC_GLOBAL_LOCALE);
        ::freelocale(locale_);
    }

    // Gives true when this call put the thread in the UTF-8 locale.
    bool switchTo()
    {
        if (tried_)
            return false;
        tried_ = true;
        locale_ = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
        return locale_ != nullptr && ::uselocale(locale_) != nullptr;
    }

private:
    bool tried_ = false;
    locale_t locale_ = nullptr;
};

bool switchToUtf8Locale()
{
    thread_local Utf8Locale utf8;
    return utf8.switchTo();
}

bool namesLost(archive_entry *entry)
{
    return archive_entry_pathname(entry) == nullptr ||
           (archive_entry_filetype(entry) == AE_IFLNK && archive_entry_symlink(entry) == nullptr);
}

// Each recovery costs a walk over the headers before it; a hostile archive of
// many broken members must not make that quadratic work endless.
constexpr int maximumRecoveries = 64;

// Decompression is most of the time on large archives, and their members are
// independent: each of a few threads reads the archive with a reader of its
// own and takes the next member nobody has taken yet. A small archive is not
// worth a second reader, which reads the central directory again.
constexpr off_t sideBySideFrom = 256 * 1024;
constexpr unsigned mostReaders = 4;
// Neither libarchive nor zlib recurses; the default 8 MB is only address
// space to map and unmap.
constexpr size_t helperStackSize = 1024 * 1024;

// How many readers extract the archive; processors is set to those the
// process may run on whenever there is more than one.
unsigned readerCount(off_t archiveSize, cpu_set_t &processors)
{
    if (archiveSize < sideBySideFrom || ::sched_getaffinity(0, sizeof processors, &processors) != 0)
        return 1;
    return std::clamp(static_cast<unsigned>(CPU_COUNT(&processors)), 1u, mostReaders);
}

// What the threads extracting one archive share.
class SharedRun
{
public:
    SharedRun(int fd, off_t size, SafeTarget &target, Report &report)
        : fd(fd), size(size), target(target), report(report)
    {
    }

    // Members go out in archive order: a reader at the member numbered index
    // takes it only if nobody has. Every reader passes every member in the
    // same order, so none is taken twice and none is left.
    bool take(size_t index)
    {
        size_t expected = index;
        return next_.compare_exchange_strong(expected, index + 1);
    }

    // Ends the run for every thread; the first reason is the one told.
    void stop(std::string problem)
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (!stopped_)
            stopReason_ = std::move(problem);
        stopped_ = true;
    }
    bool stopped() const { return stopped_; }
    std::optional<std::string> stopReason() const
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        return stopped_ ? std::optional<std::string>(stopReason_) : std::nullopt;
    }

    const int fd;
    const off_t size;
    SafeTarget &target;
    Report &report;

private:
    std::atomic<size_t> next_{0};
    mutable std::mutex mutex_;
    std::atomic<bool> stopped_{false};
    std::string stopReason_;
};

void extractMembers(SharedRun &run, ArchiveSource &source, ArchiveReader reader)
{
    size_t position = 0;
    int recoveries = 0;
    std::string problem;
    while (reader && !run.stopped()) {
        archive_entry *entry = nullptr;
        const int status = archive_read_next_header(reader.get(), &entry);
        if (status == ARCHIVE_EOF)
            break;
        if (status == ARCHIVE_FATAL) {
            run.stop("damaged archive, extraction stopped: " + errorOf(reader.get()));
            break;
        }
        const size_t index = position++;
        // A failed header names a member that cannot be extracted; a warning
        // (a name libarchive could not convert) is for the decoding below.
        const bool headerFailed = status == ARCHIVE_FAILED || status == ARCHIVE_RETRY;
        // libarchive fixes its name conversion when a reader is opened, so the
        // member is read again by a reader opened in the new locale.
        if (!headerFailed && namesLost(entry) && switchToUtf8Locale()) {
            reader = reopenAt(source, --position, problem);
            if (!reader)
                run.stop("cannot read the archive again: " + problem);
            continue;
        }
        if (!run.take(index))
            continue;
        MemberLines lines;
        const Outcome outcome = headerFailed
                                    ? reportUnreadableHeader(reader.get(), entry, lines)
                                    : extractMember(reader.get(), entry, run.target, lines);
        run.report.publish(index, std::move(lines));
        if (outcome != Outcome::ArchiveBroken)
            continue;
        problem.clear();
        reader = ++recoveries <= maximumRecoveries ? reopenAt(source, position, problem) : nullptr;
        if (!reader)
            run.stop("damaged archive, extraction stopped" +
                     (problem.empty() ? std::string() : ": " + problem));
    }
}

// Whether two of these paths meet: the same path twice, or a path beneath
// one that is not a directory ("a" and "a/b").
bool pathsMeet(const std::vector<std::pair<std::string, bool>> &pathsAndIfDirectory)
{
    std::set<std::string> seen;
    std::set<std::string> notDirectories;
    for (const auto &[path, directory] : pathsAndIfDirectory) {
        if (!seen.insert(path).second)
            return true;
        if (!directory)
            notDirectories.insert(path);
    }
    for (const auto &[path, directory] : pathsAndIfDirectory)
        for (size_t slash = path.find('/'); slash != std::string::npos;
             slash = path.find('/', slash + 1))
            if (notDirectories.count(path.substr(0, slash)) != 0)
                return true;
    return false;
}

// Which thread takes which member cannot change the result as long as no two
// members meet. Where they do, the earlier member must win, as it does when
// one thread takes them all in order; a symbolic link member might lead any
// later path elsewhere, so it counts as meeting them all.
bool membersIndependent(ArchiveSource &source)
{
    std::string ignored;
    ArchiveReader reader = openZipReader(source, ignored);
    std::vector<std::pair<std::string, bool>> paths;
    while (reader) {
        archive_entry *entry = nullptr;
        const int status = archive_read_next_header(reader.get(), &entry);
        if (status == ARCHIVE_EOF)
            return !pathsMeet(paths);
        if (status == ARCHIVE_FATAL || archive_entry_filetype(entry) == AE_IFLNK)
            return false;
        if (status == ARCHIVE_FAILED || status == ARCHIVE_RETRY)
            continue;
        if (namesLost(entry) && switchToUtf8Locale()) {
            reader = openZipReader(source, ignored);
            paths.clear();
            continue;
        }
        const char *raw = archive_entry_pathname(entry);
        const auto name =
            raw != nullptr ? std::optional<std::string>(memberName::decode(raw)) : std::nullopt;
        std::string refusal;
        if (const auto path =
                name ? extractionRules::checkMemberPath(*name, refusal) : std::nullopt)
            paths.emplace_back(path->text(), archive_entry_filetype(entry) == AE_IFDIR);
    }
    return false;
}

// A helper first reads every member's name; it stays out of an archive whose
// members meet, and ends too if it cannot read the archive: the main thread
// takes every member left.
void helpExtract(SharedRun &run)
{
    ArchiveSource source(run.fd, run.size);
    if (!membersIndependent(source))
        return;
    std::string ignored;
    ArchiveReader reader = openZipReader(source, ignored);
    extractMembers(run, source, std::move(reader));
}

struct HelperStart
{
    SharedRun *run;
    cpu_set_t anywhere;
};

void *startHelper(void *data)
{
    const auto &start = *static_cast<const HelperStart *>(data);
    ::sched_setaffinity(0, sizeof start.anywhere, &start.anywhere);
    helpExtract(*start.run);
    return nullptr;
}

// Left to itself the scheduler often starts a new thread on the processor
// of the thread that made it and moves it only milliseconds later, which is
// most of a typical archive's extraction. So a helper starts on another
// processor, and is then free to go anywhere the process may run.
void extractSideBySide(SharedRun &run, ArchiveSource &source, ArchiveReader reader)
{
    HelperStart start{&run, {}};
    const unsigned readers = readerCount(run.size, start.anywhere);
    std::vector<pthread_t> started;
    pthread_attr_t attributes;
    if (readers > 1 && ::pthread_attr_init(&attributes) == 0) {
        cpu_set_t elsewhere = start.anywhere;
        if (const int current = ::sched_getcpu(); current >= 0)
            CPU_CLR(current, &elsewhere);
        ::pthread_attr_setaffinity_np(&attributes, sizeof elsewhere, &elsewhere);
        ::pthread_attr_setstacksize(&attributes, helperStackSize);
        while (started.size() + 1 < readers) {
            pthread_t thread;
            if (::pthread_create(&thread, &attributes, startHelper, &start) != 0)
                break;
            started.push_back(thread);
        }
        ::pthread_attr_destroy(&attributes);
    }
    extractMembers(run, source, std::move(reader));
    for (const pthread_t thread : started)
        ::pthread_join(thread, nullptr);
}

} // namespace

int extractArchive(const std::string &archivePath, const std::string &targetPath, Report &report)
{
    off_t archiveSize = 0;
    const UniqueFd archiveFd = openArchiveFile(archivePath, archiveSize, report);
    if (!archiveFd.valid())
        return report.exitStatus();
    ArchiveSource source(archiveFd.get(), archiveSize);
    std::string problem;
    ArchiveReader reader = openZipReader(source, problem);
    if (!reader && !isEmptyZip(archiveFd.get())) {
        report.fatal(problem);
        return report.exitStatus();
    }
    const auto target = SafeTarget::open(targetPath, problem);
    if (!target) {
        report.fatal(problem);
        return report.exitStatus();
    }
    SharedRun run(archiveFd.get(), archiveSize, *target, report);
    if (reader)
        extractSideBySide(run, source, std::move(reader));
    target->finish();
    if (const auto reason = run.stopReason())
        report.fatal(*reason);
    return report.exitStatus();
}
