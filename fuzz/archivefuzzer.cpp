// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
// Extracts arbitrary bytes as a ZIP archive, in-process, into a fresh target
// directory, and checks after every input what pkunzip promises whatever the
// archive holds: nothing is written beside or above the target, no file is
// left under a temporary name, every file left is the whole, checked data of
// some member, no link leads out of the target, no mode carries set-user-ID,
// set-group-ID or sticky bits, and no file descriptor is left open.
//
// Layout of the work directory, made once per process:
//   WORK/archive.zip                  the input
//   WORK/archive.z01, archive.z02     the input, and its first half: the
//                                     segments read when its end record
//                                     counts several, the second cut short
//   WORK/sandbox/level/target         the target, removed after every input
// so that a name climbing one, two or three levels out of the target leaves
// something where nothing else ever is.
#include "extract.h"
#include "report.h"

#include <zlib.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string workDirectory;
std::string archivePath;
std::string sandboxDirectory;
std::string levelDirectory;
std::string targetPath;
// Where pkunzip's report goes: its lines are not what is checked here.
std::FILE *reportSink = nullptr;

[[noreturn]] void fail(const std::string &what)
{
    std::fprintf(stderr, "archive fuzzer: %s\n", what.c_str());
    std::abort();
}

std::set<std::string> namesIn(const std::string &directory)
{
    std::set<std::string> names;
    for (const auto &entry : fs::directory_iterator(directory))
        names.insert(entry.path().filename().string());
    return names;
}

size_t openDescriptorCount()
{
    size_t count = 0;
    for (auto it = fs::directory_iterator("/proc/self/fd"); it != fs::directory_iterator(); ++it)
        ++count;
    return count;
}

void writeInput(const std::string &path, const uint8_t *data, size_t size)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0 || ::write(fd, data, size) != static_cast<ssize_t>(size) || ::close(fd) != 0)
        fail("cannot write the input: " + std::string(std::strerror(errno)));
}

uint32_t readLittleEndian(std::string_view bytes, size_t at, size_t width)
{
    uint32_t value = 0;
    for (size_t i = width; i-- > 0;)
        value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

// Every CRC-32 that any central directory header, local header or data
// descriptor anywhere in the bytes records. Taking them all, rather than
// reading the archive the way pkunzip's reader does, keeps this check independent
// of it; a file cut short or left with damaged data matches none of them.
// Sizes are not compared: headers may disagree about them while the data
// still matches its CRC-32 in full.
std::set<uint32_t> recordedCrcs(std::string_view zip)
{
    const std::pair<std::string_view, size_t> crcOffsets[] = {
        {std::string_view("PK\x01\x02", 4), 16},
        {std::string_view("PK\x03\x04", 4), 14},
        {std::string_view("PK\x07\x08", 4), 4}};
    std::set<uint32_t> crcs;
    for (const auto &[signature, crcAt] : crcOffsets)
        for (size_t at = zip.find(signature);
             at != std::string_view::npos && at + crcAt + 4 <= zip.size();
             at = zip.find(signature, at + 1))
            crcs.insert(readLittleEndian(zip, at + crcAt, 4));
    return crcs;
}

// A data descriptor without its signature is known only by what it records:
// the CRC-32, then the compressed size and the size, of 4 or of 8 bytes.
bool inBareDescriptor(std::string_view zip, uint32_t crc, uint64_t size)
{
    const uint32_t low = static_cast<uint32_t>(size);
    for (size_t at = 0; at + 12 <= zip.size(); ++at)
        if (readLittleEndian(zip, at, 4) == crc &&
            (readLittleEndian(zip, at + 8, 4) == size ||
             (at + 20 <= zip.size() && readLittleEndian(zip, at + 12, 4) == low)))
            return true;
    return false;
}

uint32_t crcOfFile(const fs::path &file)
{
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        fail("cannot read back " + file.string());
    uLong crc = crc32(0, nullptr, 0);
    unsigned char buffer[65536];
    ssize_t got;
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0)
        crc = crc32(crc, buffer, static_cast<uInt>(got));
    ::close(fd);
    return static_cast<uint32_t>(crc);
}

std::vector<std::string> componentsOf(const std::string &path)
{
    std::vector<std::string> components;
    size_t start = 0;
    while (start <= path.size()) {
        const size_t slash = std::min(path.find('/', start), path.size());
        components.push_back(path.substr(start, slash - start));
        start = slash + 1;
    }
    return components;
}

// Follows `linkTarget` from the directory `where` beneath the target the way
// the system would, links included, and gives where it ends, or nothing when
// the walk leaves the target. A loop ends the walk inside.
std::optional<std::vector<std::string>> resolve(std::vector<std::string> where,
                                                const std::string &linkTarget, int &linksLeft)
{
    if (!linkTarget.empty() && linkTarget.front() == '/')
        return std::nullopt;
    for (const std::string &name : componentsOf(linkTarget)) {
        if (name.empty() || name == ".")
            continue;
        if (name == "..") {
            if (where.empty())
                return std::nullopt;
            where.pop_back();
            continue;
        }
        fs::path path = targetPath;
        for (const std::string &component : where)
            path /= component;
        path /= name;
        std::error_code error;
        if (!fs::is_symlink(fs::symlink_status(path, error)) || --linksLeft < 0) {
            where.push_back(name);
            continue;
        }
        auto next = resolve(where, fs::read_symlink(path).string(), linksLeft);
        if (!next)
            return std::nullopt;
        where = std::move(*next);
    }
    return where;
}

void checkLink(const fs::path &link)
{
    const fs::path relative = link.lexically_relative(targetPath).parent_path();
    std::vector<std::string> where;
    for (const auto &component : relative)
        if (component != ".")
            where.push_back(component.string());
    int linksLeft = 40;
    if (!resolve(where, fs::read_symlink(link).string(), linksLeft))
        fail("link leads out of the target: " + link.string() + " -> " +
             fs::read_symlink(link).string());
}

// pkunzip's hidden temporary names, where the file system has no unnamed
// files, are ".pkunzip-PID-N"; a member may well be called ".pkunzip-x".
bool isTemporaryName(const std::string &name)
{
    const std::string prefix = ".pkunzip-" + std::to_string(::getpid()) + "-";
    return name.size() > prefix.size() && name.compare(0, prefix.size(), prefix) == 0 &&
           name.find_first_not_of("0123456789", prefix.size()) == std::string::npos;
}

void checkTarget(std::string_view zip)
{
    if (!fs::exists(fs::symlink_status(targetPath)))
        return;
    const std::set<uint32_t> memberCrcs = recordedCrcs(zip);
    for (const auto &entry : fs::recursive_directory_iterator(targetPath)) {
        const fs::path &path = entry.path();
        if (isTemporaryName(path.filename().string()))
            fail("file left under a temporary name: " + path.string());
        struct stat status;
        if (::lstat(path.c_str(), &status) != 0)
            fail("cannot look at " + path.string());
        if ((status.st_mode & (S_ISUID | S_ISGID | S_ISVTX)) != 0)
            fail("set-user-ID, set-group-ID or sticky bit on " + path.string());
        if (S_ISLNK(status.st_mode))
            checkLink(path);
        else if (S_ISREG(status.st_mode)) {
            const uint32_t crc = crcOfFile(path);
            const auto size = static_cast<uint64_t>(status.st_size);
            if (memberCrcs.count(crc) == 0 && !inBareDescriptor(zip, crc, size))
                fail("file is not the whole data of any member: " + path.string());
        } else if (!S_ISDIR(status.st_mode))
            fail("neither file, directory nor link: " + path.string());
    }
}

void checkOnly(const std::string &directory, const std::set<std::string> &allowed)
{
    const std::set<std::string> names = namesIn(directory);
    if (!std::includes(allowed.begin(), allowed.end(), names.begin(), names.end()))
        fail("something was written outside the target, in " + directory);
}

void checkNothingOutside()
{
    checkOnly(workDirectory, {"archive.z01", "archive.z02", "archive.zip", "sandbox"});
    checkOnly(sandboxDirectory, {"level"});
    checkOnly(levelDirectory, {"target"});
}

void removeWorkDirectory()
{
    std::error_code ignored;
    fs::remove_all(workDirectory, ignored);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    const char *temporary = std::getenv("TMPDIR");
    std::string pattern =
        std::string(temporary != nullptr ? temporary : "/tmp") + "/vrillo-archive-fuzz-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr)
        fail("cannot make a work directory");
    workDirectory = pattern;
    archivePath = workDirectory + "/archive.zip";
    sandboxDirectory = workDirectory + "/sandbox";
    levelDirectory = sandboxDirectory + "/level";
    targetPath = levelDirectory + "/target";
    fs::create_directories(levelDirectory);
    reportSink = std::fopen("/dev/null", "we");
    if (reportSink == nullptr)
        fail("cannot open /dev/null");
    std::atexit(removeWorkDirectory);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const size_t descriptorsBefore = openDescriptorCount();
    writeInput(archivePath, data, size);
    writeInput(workDirectory + "/archive.z01", data, size);
    writeInput(workDirectory + "/archive.z02", data, size / 2);
    {
        Report report(archivePath, reportSink, reportSink);
        const int status = extractArchive(archivePath, targetPath, report);
        if (status != Report::allWritten && status != Report::someMembersFailed &&
            status != Report::archiveUnreadable)
            fail("exit status " + std::to_string(status));
    }
    checkNothingOutside();
    checkTarget(std::string_view(reinterpret_cast<const char *>(data), size));
    if (openDescriptorCount() != descriptorsBefore)
        fail("file descriptors left open");
    std::error_code error;
    fs::remove_all(targetPath, error);
    if (error)
        fail("cannot remove the target: " + error.message());
    return 0;
}
