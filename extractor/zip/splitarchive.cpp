// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "zip/splitarchive.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <tuple>

namespace {

// A thread or two reading on either side of a segment's end, for each of the
// few threads that extract at once.
constexpr size_t mostOpenSegments = 8;
// The room of segments when none before the last is found: whatever offset a
// segment's 32-bit fields give then lies in it.
constexpr uint64_t roomOfUnknownSegments = uint64_t{1} << 32;

// The segment number of a name that is `stem` with a segment's extension,
// ".z01" or ".Z01" to ".z65534": 0 for any other name.
uint32_t segmentNumber(std::string_view name, std::string_view stem)
{
    if (name.size() < stem.size() + 4 || name.substr(0, stem.size()) != stem)
        return 0;
    const std::string_view extension = name.substr(stem.size());
    if (extension[0] != '.' || (extension[1] != 'z' && extension[1] != 'Z'))
        return 0;
    const std::string_view digits = extension.substr(2);
    if (digits.size() > 5 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return 0;
    const auto number = static_cast<uint32_t>(std::stoul(std::string(digits)));
    // Two digits at least, and no zero before them otherwise: one name each.
    const bool written = (number < 10 ? "0" : "") + std::to_string(number) == digits;
    return written && number < UINT16_MAX ? number : 0;
}

Result<void> checkSameFile(int fd, dev_t device, ino_t inode, const std::string &name)
{
    struct stat status;
    if (::fstat(fd, &status) != 0)
        return systemError("cannot open " + name);
    if (status.st_dev != device || status.st_ino != inode)
        return Error{name + " is no longer the file first found"};
    return {};
}

std::string segmentExtension(char letter, uint32_t number)
{
    return std::string(".") + letter + (number < 10 ? "0" : "") + std::to_string(number);
}

} // namespace

Result<std::unique_ptr<SplitArchive>> SplitArchive::find(const std::string &path,
                                                         const ByteSource &last, uint32_t count)
{
    const size_t nameStart = path.rfind('/') + 1;
    const size_t dot = path.rfind('.');
    const size_t stemEnd = dot != std::string::npos && dot > nameStart ? dot : path.size();
    std::unique_ptr<SplitArchive> split(
        new SplitArchive(path.substr(0, nameStart), path.substr(nameStart, stemEnd - nameStart),
                         stemEnd + 1 < path.size() && path[stemEnd + 1] == 'Z' ? 'Z' : 'z', last));
    RETURN_IF_ERROR(split->lookThroughFolder(count));
    RETURN_IF_ERROR(split->placeSegments(count));
    return split;
}

// One look through the folder, rather than a look for each name: the number
// of segments is the archive's to claim, up to 65,535.
Result<void> SplitArchive::lookThroughFolder(uint32_t count)
{
    std::unique_ptr<DIR, int (*)(DIR *)> folder(::opendir(folder_.empty() ? "." : folder_.c_str()),
                                                ::closedir);
    if (!folder)
        return systemError("cannot look for the archive's segments");
    for (;;) {
        errno = 0;
        const dirent *entry = ::readdir(folder.get());
        if (entry == nullptr)
            break;
        const uint32_t number = segmentNumber(entry->d_name, stem_);
        if (number == 0 || number >= count)
            continue;
        // Followed if a link, never opened: a FIFO or a device is only seen.
        struct stat status;
        if (::fstatat(::dirfd(folder.get()), entry->d_name, &status, 0) == 0)
            segments_.push_back({number - 1, entry->d_name, static_cast<uint64_t>(status.st_size),
                                 S_ISREG(status.st_mode), status.st_dev, status.st_ino});
    }
    if (errno != 0)
        return systemError("cannot look for the archive's segments");
    // Where both cases of a segment's name are there, the last one's case
    // wins; a regular file over anything else.
    std::sort(segments_.begin(), segments_.end(), [this](const Segment &a, const Segment &b) {
        const auto rank = [this](const Segment &s) {
            return std::make_tuple(s.index, !s.regular, s.name[stem_.size() + 1] != letter_);
        };
        return rank(a) < rank(b);
    });
    segments_.erase(
        std::unique(segments_.begin(), segments_.end(),
                    [](const Segment &a, const Segment &b) { return a.index == b.index; }),
        segments_.end());
    return {};
}

Result<void> SplitArchive::placeSegments(uint32_t count)
{
    lastIndex_ = count - 1;
    for (const Segment &segment : segments_)
        if (segment.regular)
            room_ = std::max(room_, segment.size);
    if (room_ == 0)
        room_ = roomOfUnknownSegments;
    if (__builtin_mul_overflow(room_, lastIndex_, &lastStart_) ||
        __builtin_add_overflow(lastStart_, last_.size(), &size_))
        return Error{"the archive's segments are too large"};
    return {};
}

std::vector<SplitArchive::Segment>::const_iterator SplitArchive::found(uint32_t index) const
{
    const auto at = std::lower_bound(
        segments_.begin(), segments_.end(), index,
        [](const Segment &segment, uint32_t wanted) { return segment.index < wanted; });
    return at != segments_.end() && at->index == index ? at : segments_.end();
}

const SplitArchive::Segment *SplitArchive::segmentAt(uint32_t index) const
{
    const auto segment = found(index);
    return segment != segments_.end() && segment->regular ? &*segment : nullptr;
}

uint64_t SplitArchive::offsetOf(uint32_t segment, uint64_t offset) const
{
    const uint64_t room = segment == lastIndex_ ? last_.size() : room_;
    return segment <= lastIndex_ && offset <= room ? segment * room_ + offset : size_;
}

Error SplitArchive::unreadable(uint32_t index) const
{
    const auto segment = found(index);
    if (segment == segments_.end())
        return Error{"segment " + stem_ + segmentExtension(letter_, index + 1) + " is missing"};
    if (!segment->regular)
        return Error{"segment " + segment->name + " is not a regular file"};
    return Error{"segment " + segment->name + " is cut short"};
}

Result<size_t> SplitArchive::read(void *buffer, size_t size, uint64_t offset) const
{
    auto *next = static_cast<char *>(buffer);
    size_t done = 0;
    while (done < size && offset + done < size_) {
        const Result<size_t> got = readWithin(next + done, size - done, offset + done);
        if (!got && done == 0)
            return got.error();
        if (!got || *got == 0)
            break;
        done += *got;
    }
    return done;
}

// Reads from the one segment that holds `offset`, up to its end.
Result<size_t> SplitArchive::readWithin(char *buffer, size_t size, uint64_t offset) const
{
    if (offset >= lastStart_)
        return last_.read(buffer, size, offset - lastStart_);
    const auto index = static_cast<uint32_t>(offset / room_);
    const uint64_t within = offset % room_;
    const Segment *segment = segmentAt(index);
    if (segment == nullptr || within >= segment->size)
        return unreadable(index);
    const Result<std::shared_ptr<const UniqueFd>> fd = descriptor(*segment);
    if (!fd)
        return fd.error();
    const auto want = static_cast<size_t>(std::min<uint64_t>(size, segment->size - within));
    return PlainFile((*fd)->get(), segment->size).read(buffer, want, within);
}

Result<std::shared_ptr<const UniqueFd>> SplitArchive::descriptor(const Segment &segment) const
{
    const std::lock_guard<std::mutex> lock(openMutex_);
    const auto found = std::find_if(open_.begin(), open_.end(), [&](const OpenSegment &open) {
        return open.index == segment.index;
    });
    if (found != open_.end()) {
        std::rotate(found, found + 1, open_.end());
        return open_.back().fd;
    }
    Result<UniqueFd> opened = openSegment(segment);
    if (!opened)
        return opened.error();
    if (open_.size() == mostOpenSegments)
        open_.erase(open_.begin());
    open_.push_back({segment.index, std::make_shared<const UniqueFd>(std::move(*opened))});
    return open_.back().fd;
}

// A segment is opened, the first time and again after being let go, only
// while its name still leads to the regular file the look through the folder
// saw. The name is resolved without opening what it leads to (O_PATH wakes no
// FIFO's writer and reaches no device's driver), and the file found is opened
// through that descriptor. Where /proc is not mounted the name is opened
// again and checked after: a FIFO put in the file's place between those two
// calls would be opened, once.
Result<UniqueFd> SplitArchive::openSegment(const Segment &segment) const
{
    const std::string name = "segment " + segment.name;
    const std::string path = folder_ + segment.name;
    const UniqueFd found(::open(path.c_str(), O_PATH | O_CLOEXEC));
    if (!found.valid())
        return systemError("cannot open " + name);
    RETURN_IF_ERROR(checkSameFile(found.get(), segment.device, segment.inode, name));
    UniqueFd opened(
        ::open(("/proc/self/fd/" + std::to_string(found.get())).c_str(), archiveReadFlags));
    if (!opened.valid() && errno == ENOENT)
        opened = UniqueFd(::open(path.c_str(), archiveReadFlags));
    if (!opened.valid())
        return systemError("cannot open " + name);
    RETURN_IF_ERROR(checkSameFile(opened.get(), segment.device, segment.inode, name));
    return opened;
}
