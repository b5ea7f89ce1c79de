// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#pragma once

#include "base/result.h"
#include "zip/bytesource.h"
#include "zip/splitarchive.h"
#include "zip/zipreader.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// How a member's data is found.
enum class DataFound {
    // Its local header is read where the central directory says, and the two
    // headers' declarations are tried in turn.
    FromLocalHeader,
    // Found by walking, right after the local header just read, whose sizes
    // bound it.
    AfterWalkedHeader,
    // Found by walking, its sizes following its data: the data is decoded
    // once to find its data descriptor, which then bounds it.
    ByDataDescriptor,
};

// A member as the archive yields it.
struct Member
{
    // Its central directory entry, or, found by walking, its local header's
    // account, kept by the archive's members: the overlap rule tells the
    // central directory's entries apart by where they lie.
    const ZipEntry &entry;
    DataFound found = DataFound::FromLocalHeader;
    // Where a walked member's data starts.
    uint64_t dataOffset = 0;
};

// An archive's members and the bytes they are read from. They are those its
// central directory lists, or, when it has none (cut short) or the one found
// is that of a ZIP stored inside it, those found by walking its local
// headers. A split archive is read through its segments, unless its end
// record counts segments while the file holds every member itself.
class ArchiveMembers
{
public:
    // Opens the archive at `path`: an error when it cannot be opened, its
    // segments cannot be looked for, or no member can be found.
    static Result<std::unique_ptr<ArchiveMembers>> open(const std::string &path);

    ArchiveMembers(const ArchiveMembers &) = delete;
    ArchiveMembers &operator=(const ArchiveMembers &) = delete;

    const ByteSource &bytes() const
    {
        return split_ ? static_cast<const ByteSource &>(*splitTail_) : whole_;
    }

    // The central directory's entries, all known before any is extracted;
    // none when walking, which finds each member after the one before it.
    const std::vector<ZipEntry> &listed() const { return directory_.entries; }
    bool walked() const { return walk_.has_value(); }
    // How many members there may be.
    size_t count() const;

    // The member at `index`, nothing past the last. Listed members may be
    // asked for by several threads at once; walking, members come in order,
    // each found once the one before it has been passed.
    std::optional<Member> at(size_t index);

    // Tells the walk that `member` was extracted, and, when it was written,
    // how long its data was: the next member is looked for after it.
    void passed(const Member &member, std::optional<uint64_t> writtenLength);

    // Where a member's data starts and what its headers declare, in the
    // order they are tried (see LocatedData); a member whose sizes follow its
    // data is located by the one who decodes it.
    Result<LocatedData> locate(const Member &member) const;

    // The central directory, for what it says of the archive's damage.
    const CentralDirectory &directory() const { return directory_; }
    // Why the members are walked instead.
    const std::string &walkReason() const { return walk_->reason; }

private:
    // Where walking local headers starts, and why the central directory is
    // not followed.
    struct Walk
    {
        uint64_t firstHeader = 0;
        std::string reason;
    };

    explicit ArchiveMembers(OpenedFile opened);
    // Reads the central directory again through the archive's segments, or
    // as the file's own when they are not there and it needs none.
    Result<void> readThroughSegments(const std::string &path, Result<CentralDirectory> &directory);
    std::optional<Walk> walkInstead(const Result<CentralDirectory> &directory) const;
    std::optional<Member> nextWalked();

    OpenedFile opened_;
    PlainFile plain_;
    KeptTail whole_;
    std::unique_ptr<SplitArchive> split_;
    std::unique_ptr<KeptTail> splitTail_;
    CentralDirectory directory_;
    std::optional<Walk> walk_;
    // Where the walk goes on, how much more it may read looking for data
    // descriptors, and the member it found last.
    std::optional<uint64_t> nextHeader_;
    uint64_t descriptorSearchLeft_ = 0;
    ZipEntry walked_;
};
