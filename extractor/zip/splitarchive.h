// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#pragma once

#include "base/result.h"
#include "base/uniquefd.h"
#include "zip/bytesource.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <vector>

// An archive its writer split into segments for small media or mail:
// NAME.z01, NAME.z02, ... and NAME.zip last, the one the user opens. Read as
// the one archive they make end to end.
//
// The segments are the files beside the last whose names are its own with
// the extension replaced (.z01 or .Z01, the last one's case first); the
// archive's contents name none of them. Writers fill every segment before
// the last to one size, so each takes the room of the longest found, and one
// shorter is taken as cut short. The bytes a segment lacks, or all of its
// bytes when it is missing, cannot be read, and every other byte stays where
// the writer put it, so only what lies in them or runs through them fails.
class SplitArchive final : public ByteSource
{
public:
    // The segments of the archive at `path`, already open as `last`, whose
    // end record counts `count` of them, 65,535 at most. Looks through the
    // last one's folder once, whatever the count, and opens no segment.
    static Result<std::unique_ptr<SplitArchive>> find(const std::string &path,
                                                      const ByteSource &last, uint32_t count);

    // The whole archive.
    uint64_t size() const override { return size_; }

    // The bytes up to the first one that cannot be read, and an error naming
    // its segment when that is the first byte asked for.
    Result<size_t> read(void *buffer, size_t size, uint64_t offset) const override;

    bool segmented() const override { return true; }

    // Its end, where nothing can be read, when there is no such segment or
    // the offset lies beyond the segment's room.
    uint64_t offsetOf(uint32_t segment, uint64_t offset) const override;

    uint64_t lastSegmentStart() const override { return lastStart_; }

    // Whether any file was found for a segment before the last.
    bool foundAny() const { return !segments_.empty(); }

private:
    // A file found for a segment before the last.
    struct Segment
    {
        uint32_t index = 0;
        std::string name;
        uint64_t size = 0;
        bool regular = false;
        // Which file the look through the folder saw.
        dev_t device = 0;
        ino_t inode = 0;
    };

    SplitArchive(std::string folder, std::string stem, char letter, const ByteSource &last)
        : folder_(std::move(folder)), stem_(std::move(stem)), letter_(letter), last_(last)
    {
    }
    Result<void> lookThroughFolder(uint32_t count);
    Result<void> placeSegments(uint32_t count);
    std::vector<Segment>::const_iterator found(uint32_t index) const;
    const Segment *segmentAt(uint32_t index) const;
    Error unreadable(uint32_t index) const;
    Result<size_t> readWithin(char *buffer, size_t size, uint64_t offset) const;
    Result<std::shared_ptr<const UniqueFd>> descriptor(const Segment &segment) const;
    Result<UniqueFd> openSegment(const Segment &segment) const;

    std::string folder_;
    // The last segment's name without its extension, and the extension's
    // first letter, which gives the case looked for first.
    std::string stem_;
    char letter_;
    const ByteSource &last_;
    // Sorted by index.
    std::vector<Segment> segments_;
    // What every segment before the last takes of the whole archive, the
    // longest found.
    uint64_t room_ = 0;
    uint32_t lastIndex_ = 0;
    uint64_t lastStart_ = 0;
    uint64_t size_ = 0;

    // Descriptors of the segments read last. A reader keeps its own reference
    // while it reads, so another may drop one from here meanwhile.
    struct OpenSegment
    {
        uint32_t index;
        std::shared_ptr<const UniqueFd> fd;
    };
    mutable std::mutex openMutex_;
    mutable std::vector<OpenSegment> open_;
};
