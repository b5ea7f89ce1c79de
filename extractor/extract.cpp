#include "extract.h"

#include "membername.h"
#include "safetarget.h"
#include "uniquefd.h"

#include <archive.h>
#include <archive_entry.h>

#include <cerrno>
#include <clocale>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

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
UniqueFd openArchiveFile(const std::string &path, Report &report)
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

ArchiveReader openZipReader(int fd, std::string &problem)
{
    ArchiveReader reader(archive_read_new());
    if (!reader) {
        problem = "out of memory";
        return nullptr;
    }
    // Only the seekable ZIP reader, which trusts the central directory; no
    // other format and no filter, so nothing else is linked in or guessed at.
    if (archive_read_support_format_zip_seekable(reader.get()) != ARCHIVE_OK ||
        archive_read_open_fd(reader.get(), fd, readBlockSize) != ARCHIVE_OK) {
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

Outcome copyData(archive *reader, PendingFile &file, const std::string &name, Report &report)
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
            report.memberProblem(name, errorOf(reader));
            return status == ARCHIVE_FATAL ? Outcome::ArchiveBroken : Outcome::MemberFailed;
        }
        if (offset != expectedOffset) {
            report.memberProblem(name, "data out of order");
            return Outcome::MemberFailed;
        }
        if (auto problem = file.write(data, size)) {
            report.memberProblem(name, *problem);
            return Outcome::MemberFailed;
        }
        expectedOffset += static_cast<la_int64_t>(size);
    }
}

Outcome extractFile(archive *reader, archive_entry *entry, const MemberPath &path,
                    const std::string &name, SafeTarget &target, Report &report)
{
    if (archive_entry_is_data_encrypted(entry)) {
        report.memberProblem(name, "encrypted; no password is asked for");
        return Outcome::Done;
    }
    const bool executable = (archive_entry_perm(entry) & 0111) != 0;
    std::unique_ptr<PendingFile> file;
    if (auto problem = target.startFile(path, executable, file)) {
        report.memberProblem(name, *problem);
        return Outcome::Done;
    }
    const Outcome outcome = copyData(reader, *file, name, report);
    if (outcome != Outcome::Done)
        return outcome;
    if (auto problem = file->commit(timesOf(entry))) {
        report.memberProblem(name, *problem);
        return Outcome::Done;
    }
    report.written(path.text());
    return Outcome::Done;
}

void extractSymlink(archive_entry *entry, const MemberPath &path, const std::string &name,
                    SafeTarget &target, Report &report)
{
    const char *rawTarget = archive_entry_symlink(entry);
    const auto linkTarget =
        rawTarget != nullptr ? memberName::decode(rawTarget) : std::optional<std::string>();
    if (!linkTarget) {
        report.memberProblem(name, "the link's target cannot be read");
        return;
    }
    auto problem = extractionRules::checkLinkTarget(path, *linkTarget);
    if (!problem)
        problem = target.makeSymlink(path, *linkTarget, timesOf(entry));
    if (problem)
        report.memberProblem(name, *problem);
    else
        report.written(path.text() + " -> " + *linkTarget);
}

Outcome extractMember(archive *reader, archive_entry *entry, SafeTarget &target, Report &report)
{
    const char *raw = archive_entry_pathname(entry);
    if (raw == nullptr) {
        report.memberProblem("(unnamed member)", "its name cannot be read: " + errorOf(reader));
        return Outcome::Done;
    }
    const auto name = memberName::decode(raw);
    if (!name) {
        report.memberProblem(raw, "its name is neither UTF-8 nor code page 437");
        return Outcome::Done;
    }
    std::string refusal;
    const auto path = extractionRules::checkMemberPath(*name, refusal);
    if (!path) {
        report.memberProblem(*name, refusal);
        return Outcome::Done;
    }
    switch (archive_entry_filetype(entry)) {
    case AE_IFREG:
        return extractFile(reader, entry, *path, *name, target, report);
    case AE_IFDIR:
        if (auto problem = target.makeDirectory(*path, timesOf(entry)))
            report.memberProblem(*name, *problem);
        else
            report.written(path->components.empty() ? "./" : path->text() + "/");
        return Outcome::Done;
    case AE_IFLNK:
        extractSymlink(entry, *path, *name, target, report);
        return Outcome::Done;
    default:
        report.memberProblem(*name, "not a file, directory or symbolic link");
        return Outcome::Done;
    }
}

// libarchive gives up on the whole archive after corrupt or truncated data in
// one member. The central directory still lists the rest, so a fresh reader
// is led past the members already handled and the run goes on.
ArchiveReader reopenAfter(int fd, size_t membersHandled, std::string &problem)
{
    if (::lseek(fd, 0, SEEK_SET) != 0) {
        problem = std::strerror(errno);
        return nullptr;
    }
    ArchiveReader reader = openZipReader(fd, problem);
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
// small archive's extraction, so it is done only when such a name turns up.
// The result is the same whatever the user's locale.
bool switchToUtf8Locale()
{
    static bool switched = false;
    if (switched)
        return false;
    switched = true;
    return std::setlocale(LC_CTYPE, "C.UTF-8") != nullptr;
}

bool namesLost(archive_entry *entry)
{
    return archive_entry_pathname(entry) == nullptr ||
           (archive_entry_filetype(entry) == AE_IFLNK && archive_entry_symlink(entry) == nullptr);
}

// Each recovery costs a walk over the headers before it; a hostile archive of
// many broken members must not make that quadratic work endless.
constexpr int maximumRecoveries = 64;

} // namespace

int extractArchive(const std::string &archivePath, const std::string &targetPath, Report &report)
{
    const UniqueFd archiveFd = openArchiveFile(archivePath, report);
    if (!archiveFd.valid())
        return report.exitStatus();
    std::string problem;
    ArchiveReader reader = openZipReader(archiveFd.get(), problem);
    if (!reader && !isEmptyZip(archiveFd.get())) {
        report.fatal(problem);
        return report.exitStatus();
    }
    const auto target = SafeTarget::open(targetPath, problem);
    if (!target) {
        report.fatal(problem);
        return report.exitStatus();
    }
    size_t membersHandled = 0;
    int recoveries = 0;
    while (reader) {
        archive_entry *entry = nullptr;
        const int status = archive_read_next_header(reader.get(), &entry);
        if (status == ARCHIVE_EOF)
            break;
        if (status == ARCHIVE_FATAL) {
            report.fatal("damaged archive, extraction stopped: " + errorOf(reader.get()));
            break;
        }
        ++membersHandled;
        // A failed header names a member that cannot be extracted; a warning
        // (a name libarchive could not convert) is for the decoding below.
        if (status == ARCHIVE_FAILED || status == ARCHIVE_RETRY) {
            const char *raw = archive_entry_pathname(entry);
            const std::string name = raw != nullptr ? memberName::decode(raw).value_or(raw)
                                                    : std::string("(unnamed member)");
            report.memberProblem(name, errorOf(reader.get()));
            continue;
        }
        // libarchive fixes its name conversion when a reader is opened, so the
        // member is read again by a reader opened in the new locale.
        if (namesLost(entry) && switchToUtf8Locale()) {
            reader = reopenAfter(archiveFd.get(), --membersHandled, problem);
            if (!reader)
                report.fatal("cannot read the archive again: " + problem);
            continue;
        }
        if (extractMember(reader.get(), entry, *target, report) != Outcome::ArchiveBroken)
            continue;
        problem.clear();
        reader = ++recoveries <= maximumRecoveries
                     ? reopenAfter(archiveFd.get(), membersHandled, problem)
                     : nullptr;
        if (!reader)
            report.fatal("damaged archive, extraction stopped" +
                         (problem.empty() ? std::string() : ": " + problem));
    }
    target->finish();
    return report.exitStatus();
}
