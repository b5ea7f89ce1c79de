// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "zip/bytesource.h"

#include "base/zipformat.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr size_t longestComment = 0xFFFF;

} // namespace

Result<size_t> PlainFile::read(void *buffer, size_t size, uint64_t offset) const
{
    auto *next = static_cast<char *>(buffer);
    size_t done = 0;
    while (done < size && offset + done < size_) {
        const size_t want = std::min<size_t>(size - done, SSIZE_MAX);
        const ssize_t got = ::pread(fd_, next + done, want, static_cast<off_t>(offset + done));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return systemError("cannot read the archive");
        }
        if (got == 0)
            break;
        done += static_cast<size_t>(got);
    }
    return done;
}

KeptTail::KeptTail(const ByteSource &source) : source_(source)
{
    const size_t size = endSearchSize(source);
    std::string tail(size, '\0');
    const Result<size_t> got = source.read(tail.data(), size, source.size() - size);
    if (got && *got == size)
        tail_ = std::move(tail);
    else
        kept_ = false;
}

Result<size_t> KeptTail::read(void *buffer, size_t size, uint64_t offset) const
{
    const uint64_t tailStart = source_.size() - tail_.size();
    if (!kept_ || offset < tailStart)
        return source_.read(buffer, size, offset);
    const std::string_view tail = std::string_view(tail_).substr(
        static_cast<size_t>(std::min<uint64_t>(offset - tailStart, tail_.size())), size);
    std::copy(tail.begin(), tail.end(), static_cast<char *>(buffer));
    return tail.size();
}

size_t endSearchSize(const ByteSource &source)
{
    const uint64_t lastSize = source.size() - source.lastSegmentStart();
    return static_cast<size_t>(std::min<uint64_t>(lastSize, zip::endRecordSize + longestComment));
}

Result<OpenedFile> openRegularFile(const std::string &path, const std::string &name)
{
    UniqueFd fd(::open(path.c_str(), archiveReadFlags));
    struct stat status;
    if (!fd.valid() || ::fstat(fd.get(), &status) != 0)
        return systemError("cannot open " + name);
    if (!S_ISREG(status.st_mode))
        return Error{name + " is not a regular file"};
    return OpenedFile{std::move(fd), static_cast<uint64_t>(status.st_size)};
}
