// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#pragma once

#include "base/result.h"
#include "zip/bytesource.h"

#include <cstddef>
#include <cstdint>
#include <string>

// The header before each member's data, read where the central directory
// says or where a walk finds it.
namespace zipRecords {

// A local header as it lies in the file.
struct LocalHeader
{
    uint16_t flags = 0;
    uint16_t method = 0;
    uint16_t time = 0;
    uint16_t date = 0;
    uint32_t crc = 0;
    uint64_t compressedSize = 0;
    uint64_t uncompressedSize = 0;
    std::string rawName;
    std::string extra;
    uint64_t dataOffset = 0;
    std::string dataAhead;
};

// Reads the local header at `offset` and, in the same read, up to `ahead`
// bytes after its fixed part: its name and extra field, and when they are
// shorter, the start of its data (dataAhead).
Result<LocalHeader> readLocalHeader(const ByteSource &file, uint64_t offset, size_t ahead = 0);

// Whether a header says the CRC-32 and sizes follow the data.
bool sizesFollowData(uint16_t flags);

} // namespace zipRecords
