// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#pragma once

#include "base/checksum.h"
#include "base/decoder.h"
#include "base/zipformat.h"

#include <algorithm>
#include <cstdint>
#include <vector>

// What the decoder benchmarks feed pkunzip's decoders: archives read whole
// into memory, members handed over from there, decoded bytes only counted
// into a CRC-32 as pkunzip's pending file counts them.
namespace inMemory {

using Bytes = std::vector<unsigned char>;

class Input : public CompressedInput
{
public:
    Input(const unsigned char *data, size_t size) : data_(data), left_(size) {}

    Result<size_t> read(void *buffer, size_t size) override
    {
        const size_t piece = std::min(size, left_);
        std::copy_n(data_, piece, static_cast<unsigned char *>(buffer));
        data_ += piece;
        left_ -= piece;
        return piece;
    }

private:
    const unsigned char *data_;
    size_t left_;
};

class CrcOutput : public DecodedOutput
{
public:
    Result<void> write(const unsigned char *data, size_t size) override
    {
        crc = crc32Update(crc, data, size);
        return {};
    }

    uint32_t crc = 0;
};

// The little-endian number of `width` bytes at `at`.
inline uint32_t littleEndian(const Bytes &bytes, size_t at, int width)
{
    uint32_t value = 0;
    for (int i = width; i-- > 0;)
        value = value << 8 | bytes[at + i];
    return value;
}

// Whether a local header starts at `at`.
inline bool localHeaderAt(const Bytes &bytes, size_t at)
{
    return at + zip::localHeaderSize <= bytes.size() &&
           std::equal(zip::localSignature.begin(), zip::localSignature.end(), bytes.begin() + at);
}

} // namespace inMemory
