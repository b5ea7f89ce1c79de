// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#pragma once

#include "base/result.h"

#include <cstddef>
#include <cstdint>
#include <optional>

// A member's compressed bytes as they lie in the archive, read front to back.
class CompressedInput
{
public:
    virtual ~CompressedInput() = default;

    // Reads up to `size` bytes into `buffer`. Gives 0 once the member's data
    // is all read or, when its compressed size is unknown, at the end of the
    // archive file.
    virtual Result<size_t> read(void *buffer, size_t size) = 0;
};

// Where a member's decoded bytes go: its pending file, with the CRC-32 and
// size counted on the way.
class DecodedOutput
{
public:
    virtual ~DecodedOutput() = default;

    virtual Result<void> write(const unsigned char *data, size_t size) = 0;
};

// What a decoder is told of the member it decodes.
struct CompressedMember
{
    uint16_t method = 0;
    // The general purpose bit flag; Implode reads its bits 1 and 2, LZMA bit 1.
    uint16_t flags = 0;
    // Unknown only for a member found by walking local headers whose sizes
    // follow its data.
    std::optional<uint64_t> compressedSize;
    std::optional<uint64_t> uncompressedSize;
};

// How every method's data is decoded. A decoder writes at most the member's
// declared uncompressed size and fails with damagedData() on a stream that
// ends early, holds more than the declared size or is not valid for its
// method. It gives how many compressed bytes the stream took, which is how a
// member whose compressed size is unknown finds its end.
using Decoder = Result<uint64_t>(const CompressedMember &member, CompressedInput &input,
                                 DecodedOutput &output);

// The text of every failure caused by the compressed bytes themselves.
inline Error damagedData()
{
    return Error{"damaged data", ErrorKind::damagedData};
}
