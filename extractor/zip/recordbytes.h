// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#pragma once

#include "base/result.h"
#include "zip/bytesource.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

// How the reader takes the bytes of the ZIP records apart: little-endian
// numbers, signatures, exact reads, and the extra fields of a header.
namespace zipRecords {

inline uint64_t little(std::string_view bytes, size_t at, size_t width)
{
    uint64_t value = 0;
    for (size_t i = width; i-- > 0;)
        value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

inline uint16_t le16(std::string_view bytes, size_t at)
{
    return static_cast<uint16_t>(little(bytes, at, 2));
}

inline uint32_t le32(std::string_view bytes, size_t at)
{
    return static_cast<uint32_t>(little(bytes, at, 4));
}

inline uint64_t le64(std::string_view bytes, size_t at)
{
    return little(bytes, at, 8);
}

inline bool startsWith(std::string_view bytes, std::string_view prefix)
{
    return bytes.substr(0, prefix.size()) == prefix;
}

inline uint64_t cappedSum(uint64_t a, uint64_t b)
{
    return a + std::min(b, UINT64_MAX - a);
}

constexpr size_t scanBlockSize = 64 * 1024;

// The reason a record cannot be read whole.
Error cutShort();

Result<std::string> readExactly(const ByteSource &file, size_t size, uint64_t offset);

bool signatureAt(const ByteSource &file, uint64_t offset, std::string_view signature);

// Reads a stretch of the file front to back in blocks, so a central
// directory of any size costs one block of memory, not its declared size.
class SequentialReader
{
public:
    SequentialReader(const ByteSource &file, uint64_t from, uint64_t end)
        : file_(file), position_(from), end_(std::min(end, file.size()))
    {
    }

    uint64_t left() const { return position_ < end_ ? end_ - position_ : 0; }

    // The next `size` bytes, valid until the next call.
    Result<std::string_view> take(size_t size)
    {
        if (size > left())
            return cutShort();
        if (filled_ - start_ < size) {
            buffer_.erase(0, start_);
            filled_ -= start_;
            start_ = 0;
            const size_t want = static_cast<size_t>(
                std::min<uint64_t>(std::max(size, blockSize), left()) - filled_);
            buffer_.resize(filled_ + want);
            const Result<size_t> got =
                file_.read(buffer_.data() + filled_, want, position_ + filled_);
            if (!got)
                return got.error();
            filled_ += *got;
            if (filled_ < size)
                return cutShort();
        }
        const std::string_view bytes(buffer_.data() + start_, size);
        start_ += size;
        position_ += size;
        return bytes;
    }

private:
    static constexpr size_t blockSize = 64 * 1024;

    const ByteSource &file_;
    uint64_t position_;
    uint64_t end_;
    std::string buffer_;
    size_t start_ = 0;
    size_t filled_ = 0;
};

// Calls visit(id, data) for each extra field in turn. A field that runs past
// the end of the extra data ends the walk: it and whatever follows are
// ignored, never a reason to refuse the member.
template <typename Visit> void forEachExtraField(std::string_view extra, Visit visit)
{
    size_t at = 0;
    while (extra.size() - at >= 4) {
        const uint16_t id = le16(extra, at);
        const size_t length = le16(extra, at + 2);
        if (length > extra.size() - at - 4)
            return;
        visit(id, extra.substr(at + 4, length));
        at += 4 + length;
    }
}

} // namespace zipRecords
