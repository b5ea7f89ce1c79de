// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "zip/members.h"

#include <algorithm>
#include <cstdint>
#include <utility>

namespace {

// An archive whose end record counts segments while none before the last
// is there may hold every member itself, its disk numbers written wrong: it
// is read whole when each entry's local header lies where the file alone
// puts it.
std::optional<CentralDirectory> wholeDespiteSegments(const ByteSource &whole,
                                                     const SplitArchive &split)
{
    if (split.foundAny())
        return std::nullopt;
    Result<CentralDirectory> directory = readCentralDirectory(whole, Segments::Joined);
    if (!directory || !headersWhereListed(whole, *directory))
        return std::nullopt;
    return std::move(*directory);
}

// Where the member after this one starts: right after its data when its
// length is known and a header follows, else at the next local header
// signature; after the data of a member written, since headers inside it
// belong to its data, and writing them as members would write its bytes
// again. A central directory and end record may be followed by another
// archive joined to this one: its local headers are walked too.
std::optional<uint64_t> nextMemberAfter(const ByteSource &file, const Member &walked,
                                        std::optional<uint64_t> writtenLength)
{
    const bool written = writtenLength.has_value();
    const std::optional<uint64_t> length = written ? writtenLength : walked.entry.compressedSize;
    if (length && *length <= file.size() - std::min(walked.dataOffset, file.size())) {
        const uint64_t next = walked.dataOffset + *length;
        const std::optional<uint64_t> after = findLocalHeader(file, next);
        if (written || after == next || membersEndAt(file, next))
            return after;
    }
    return findLocalHeader(file, walked.dataOffset);
}

} // namespace

ArchiveMembers::ArchiveMembers(OpenedFile opened)
    : opened_(std::move(opened)), plain_(opened_.fd.get(), opened_.size), whole_(plain_)
{
}

Result<std::unique_ptr<ArchiveMembers>> ArchiveMembers::open(const std::string &path)
{
    Result<OpenedFile> opened = openRegularFile(path, "the archive");
    if (!opened)
        return opened.error();
    std::unique_ptr<ArchiveMembers> members(new ArchiveMembers(std::move(*opened)));
    Result<CentralDirectory> directory = readCentralDirectory(members->whole_);
    if (directory && directory->segments > 1)
        RETURN_IF_ERROR(members->readThroughSegments(path, directory));
    members->walk_ = members->walkInstead(directory);
    if (!directory && !members->walk_)
        return directory.error();
    if (members->walk_) {
        members->nextHeader_ = members->walk_->firstHeader;
        // Enough to look through each stored member once for its data
        // descriptor, and through a few members that have none.
        members->descriptorSearchLeft_ = 4 * members->bytes().size();
    } else {
        members->directory_ = std::move(*directory);
    }
    return members;
}

Result<void> ArchiveMembers::readThroughSegments(const std::string &path,
                                                 Result<CentralDirectory> &directory)
{
    Result<std::unique_ptr<SplitArchive>> found =
        SplitArchive::find(path, whole_, directory->segments);
    if (!found)
        return found.error();
    if (std::optional<CentralDirectory> joined = wholeDespiteSegments(whole_, **found)) {
        directory = std::move(*joined);
        return {};
    }
    split_ = std::move(*found);
    splitTail_ = std::make_unique<KeptTail>(*split_);
    directory = readCentralDirectory(*splitTail_);
    return {};
}

// The archive is walked from its first local header when it has no central
// directory, or an empty one while members lie before it; from the header
// in its stub when the directory found is that of a ZIP stored inside it.
// A file whose first local header cannot even be read is no archive.
std::optional<ArchiveMembers::Walk>
ArchiveMembers::walkInstead(const Result<CentralDirectory> &directory) const
{
    if (directory && directory->headerInStub)
        return Walk{*directory->headerInStub,
                    "the central directory found is that of a ZIP stored inside it or "
                    "joined after it"};
    if (directory && !directory->entries.empty())
        return std::nullopt;
    const std::optional<uint64_t> firstHeader = findLocalHeader(bytes(), 0);
    // The end of its data is not looked for here.
    uint64_t noSearch = 0;
    if (firstHeader && readLocalEntry(bytes(), *firstHeader, noSearch))
        return Walk{*firstHeader, "no readable central directory"};
    return std::nullopt;
}

size_t ArchiveMembers::count() const
{
    return walk_ ? SIZE_MAX : directory_.entries.size();
}

std::optional<Member> ArchiveMembers::at(size_t index)
{
    if (walk_)
        return nextWalked();
    if (index >= directory_.entries.size())
        return std::nullopt;
    return Member{directory_.entries[index], DataFound::FromLocalHeader, 0};
}

std::optional<Member> ArchiveMembers::nextWalked()
{
    if (!nextHeader_)
        return std::nullopt;
    Result<LocalEntry> walked = readLocalEntry(bytes(), *nextHeader_, descriptorSearchLeft_);
    if (!walked) {
        nextHeader_.reset();
        return std::nullopt;
    }
    const DataFound found =
        walked->entry.compressedSize ? DataFound::AfterWalkedHeader : DataFound::ByDataDescriptor;
    walked_ = std::move(walked->entry);
    return Member{walked_, found, walked->dataOffset};
}

void ArchiveMembers::passed(const Member &member, std::optional<uint64_t> writtenLength)
{
    if (walk_)
        nextHeader_ = nextMemberAfter(bytes(), member, writtenLength);
}

Result<LocatedData> ArchiveMembers::locate(const Member &member) const
{
    if (member.found == DataFound::FromLocalHeader)
        return locateData(bytes(), directory_, member.entry);
    return LocatedData{member.dataOffset, member.entry, member.entry, {}, {}, {}, {}};
}
