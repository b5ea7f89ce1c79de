// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#pragma once

#include "base/result.h"
#include "zip/bytesource.h"
#include "zip/zipreader.h"

#include <cstdint>

// The end of an archive: the end record, a ZIP64 record, and the bytes
// before the archive that shift every offset.
namespace zipRecords {

// The end of the archive as its end records give it: where the central
// directory ends (the ZIP64 record or the end record) and what it holds.
struct EndRecord
{
    uint64_t position = 0;
    uint64_t entries = 0;
    uint64_t directorySize = 0;
    uint64_t directoryOffset = 0;
    // After the end record and its comment.
    uint64_t bytesAfter = 0;
    bool recordAfter = false;
    // The segment (disk) the end record lies on, the last, and the one where
    // the central directory starts, the first being 0.
    uint32_t lastDisk = 0;
    uint32_t directoryDisk = 0;
};

// Where an offset of a segment lies in the archive.
uint64_t archiveOffset(const ByteSource &file, uint32_t disk, uint64_t offset);

// The end record in the last 64 KiB + 22 bytes, and the ZIP64 record its
// locator leads to.
Result<EndRecord> readEndRecord(const ByteSource &file);

// How far every offset is off: 0 when the central directory is where the
// end record says, else the bytes before the archive, found from where the
// directory must end.
Result<uint64_t> bytesBeforeArchive(const ByteSource &file, const EndRecord &end);

// Bytes before the archive by the central directory's place: a stub, or
// data descriptors the offsets leave out. Those offsets, as given or shifted
// by the descriptors before each header, lead to local headers bearing their
// names before the corrected offsets; when none does, a local header in what
// would be the stub tells that this central directory is that of a ZIP
// stored inside the archive.
void placeShiftedHeaders(const ByteSource &file, CentralDirectory &directory, uint64_t correction);

} // namespace zipRecords
