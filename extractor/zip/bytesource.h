// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#pragma once

#include "base/result.h"
#include "base/uniquefd.h"

#include <cstdint>
#include <fcntl.h>
#include <memory>
#include <string>

// Where the archive's bytes come from: a file, the segments of a split
// archive read end to end, or either with its last bytes kept in memory.
// Read with pread alone, so that several threads may read at once.
class ByteSource
{
public:
    virtual ~ByteSource() = default;

    virtual uint64_t size() const = 0;

    // Reads up to `size` bytes at `offset` into `buffer`; fewer only where the
    // bytes end, or, in a split archive, before bytes whose segment is missing
    // or cut short, and an error naming that segment when the first byte is
    // one.
    virtual Result<size_t> read(void *buffer, size_t size, uint64_t offset) const = 0;

    // Whether the end record's disk numbers lead to segments read through
    // this source; a file alone has one, whatever its disk numbers say.
    virtual bool segmented() const { return false; }

    // Where `offset` of segment `segment` (the first is 0) lies in the bytes.
    virtual uint64_t offsetOf(uint32_t /*segment*/, uint64_t offset) const { return offset; }

    // Where the last segment, which holds the end record, starts.
    virtual uint64_t lastSegmentStart() const { return 0; }
};

// A file open to be read, which it does not own.
class PlainFile final : public ByteSource
{
public:
    PlainFile(int fd, uint64_t size) : fd_(fd), size_(size) {}

    uint64_t size() const override { return size_; }
    Result<size_t> read(void *buffer, size_t size, uint64_t offset) const override;

private:
    int fd_;
    uint64_t size_;
};

// Another source with its last 64 KiB read into memory (fewer bytes when a
// split archive's last segment is smaller), where the end record lies,
// usually the central directory too, and in a small archive every member:
// once read, they are read again from memory. When that read fails, the
// source as it was: reading it again will say why.
class KeptTail final : public ByteSource
{
public:
    explicit KeptTail(const ByteSource &source);

    uint64_t size() const override { return source_.size(); }
    Result<size_t> read(void *buffer, size_t size, uint64_t offset) const override;
    bool segmented() const override { return source_.segmented(); }
    uint64_t offsetOf(uint32_t segment, uint64_t offset) const override
    {
        return source_.offsetOf(segment, offset);
    }
    uint64_t lastSegmentStart() const override { return source_.lastSegmentStart(); }

private:
    const ByteSource &source_;
    std::string tail_;
    bool kept_ = true;
};

// How many of a source's last bytes the end record, with its comment, is
// looked for in: those of its last segment.
size_t endSearchSize(const ByteSource &source);

// A file of the archive, open to be read with pread.
struct OpenedFile
{
    UniqueFd fd;
    uint64_t size = 0;
};

// How a file of the archive is opened; O_NONBLOCK, kept, means nothing for
// a regular file.
constexpr int archiveReadFlags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;

// Opens a file of the archive with O_NONBLOCK, and only when it is a regular
// file, so that a FIFO or a device can neither block nor feed the run. `name`
// ("the archive", "segment a.z01") says in errors which file failed.
Result<OpenedFile> openRegularFile(const std::string &path, const std::string &name);
