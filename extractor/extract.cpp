// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "extract.h"

#include "base/checksum.h"
#include "methods/methods.h"
#include "output/safetarget.h"
#include "sharedrun.h"
#include "threadplan.h"
#include "zip/membername.h"
#include "zip/members.h"
#include "zip/zipreader.h"

#include <algorithm>
#include <cerrno>
#include <memory>
#include <new>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// A member's compressed bytes, up to its compressed size, or to the end of
// the file when that is unknown: first those read with its local header,
// then the rest with pread straight into the decoder's buffer.
class MemberInput final : public CompressedInput
{
public:
    MemberInput(const ByteSource &file, uint64_t start, std::optional<uint64_t> size,
                std::string_view readAhead)
        : file_(file), readAhead_(readAhead), start_(start), position_(start),
          end_(size && *size <= file.size() - std::min(start, file.size()) ? start + *size
                                                                           : file.size())
    {
    }

    Result<size_t> read(void *buffer, size_t size) override
    {
        const size_t want =
            static_cast<size_t>(std::min<uint64_t>(size, position_ < end_ ? end_ - position_ : 0));
        const Result<size_t> got = position_ - start_ < readAhead_.size()
                                       ? readAhead(buffer, want)
                                       : file_.read(buffer, want, position_);
        if (got)
            position_ += *got;
        return got;
    }

private:
    size_t readAhead(void *buffer, size_t want) const
    {
        const std::string_view left =
            readAhead_.substr(static_cast<size_t>(position_ - start_), want);
        std::copy(left.begin(), left.end(), static_cast<char *>(buffer));
        return left.size();
    }

    const ByteSource &file_;
    std::string_view readAhead_;
    uint64_t start_;
    uint64_t position_;
    uint64_t end_;
};

// A symbolic link's target is a path, never longer than this.
constexpr size_t longestLinkTarget = 4096;

// Where decoded bytes go, a pending file, a link's target or nowhere, with
// their CRC-32 and size counted on the way.
class CheckedOutput final : public DecodedOutput
{
public:
    CheckedOutput(PendingFile &file, const SpaceWatch &space) : file_(&file), space_(space) {}
    explicit CheckedOutput(std::string &text) : text_(&text) {}
    // Counts and keeps nothing.
    CheckedOutput() = default;

    Result<void> write(const unsigned char *data, size_t size) override
    {
        crc_ = crc32Update(crc_, data, size);
        size_ += size;
        if (file_ != nullptr) {
            RETURN_IF_ERROR(space_.check());
            return file_->write(data, size);
        }
        if (text_ == nullptr)
            return {};
        if (size > longestLinkTarget - text_->size())
            return Error{"the link's target is too long"};
        text_->append(reinterpret_cast<const char *>(data), size);
        return {};
    }

    uint32_t crc() const { return crc_; }
    uint64_t size() const { return size_; }

private:
    PendingFile *file_ = nullptr;
    std::string *text_ = nullptr;
    SpaceWatch space_;
    uint32_t crc_ = 0;
    uint64_t size_ = 0;
};

// Decodes the data of a member `located` in the archive as `entry` says,
// and checks its CRC-32 and size against those `entry` declares. Gives how
// many bytes the data take in the archive.
Result<uint64_t> decodeChecked(const ByteSource &file, const ZipEntry &entry,
                               const LocatedData &located, CheckedOutput &output)
{
    const CompressedMember member{entry.method, entry.flags, entry.compressedSize,
                                  entry.uncompressedSize};
    MemberInput input(file, located.offset, entry.compressedSize, located.dataAhead);
    const Result<uint64_t> consumed = decodeMember(member, input, output);
    if (!consumed)
        return consumed.error();
    if (output.crc() != entry.crc || output.size() != entry.uncompressedSize)
        return Error{"damaged data: the CRC-32 does not match"};
    // A stream may end before the data its member declares does.
    return entry.compressedSize.value_or(*consumed);
}

// A member found by walking whose sizes follow its data declares them in its
// data descriptor alone. Its data is decoded once, counted and kept nowhere,
// to find where the stream ends and the descriptor lies; what the descriptor
// declares then bounds the decoding that writes, as a header's sizes do.
Result<ZipEntry> declaredByDescriptor(const ByteSource &file, const ZipEntry &entry,
                                      uint64_t dataOffset)
{
    const CompressedMember member{entry.method, entry.flags, std::nullopt, std::nullopt};
    MemberInput input(file, dataOffset, std::nullopt, {});
    CheckedOutput counted;
    const Result<uint64_t> consumed = decodeMember(member, input, counted);
    if (!consumed)
        return consumed.error();
    const Result<DataDescriptor> descriptor =
        readDataDescriptor(file, dataOffset + *consumed, *consumed, counted.size());
    if (!descriptor)
        return descriptor.error();
    if (descriptor->crc != counted.crc())
        return Error{"damaged data: the CRC-32 does not match its data descriptor"};
    ZipEntry declared = entry;
    declared.compressedSize = *consumed;
    declared.uncompressedSize = counted.size();
    declared.crc = descriptor->crc;
    return declared;
}

MemberTimes timesOf(const ZipEntry &entry)
{
    MemberTimes times;
    if (!entry.modified)
        return times;
    times.known = true;
    times.modified = *entry.modified;
    // The access time is left as the system sets it: ZIP archives rarely
    // record one.
    times.accessed = {0, UTIME_OMIT};
    return times;
}

// What extracting a member gave: the line that tells it was written, and,
// when its data was decoded, how many bytes the data took in the archive.
struct Extracted
{
    std::string line;
    // What is said of it on standard error, though it was written.
    std::string warning;
    std::optional<uint64_t> dataLength;
};

// One member's extraction: the archive it is read from, the member, where
// it goes, and, beside other threads, what tells a file to give up its space
// to an earlier member.
struct MemberJob
{
    const ArchiveMembers &members;
    const Member &member;
    SafeTarget &target;
    const SpaceWatch &space;
};

// Where the member's data lies, and what its headers, or its data
// descriptor, declare.
Result<LocatedData> locate(const MemberJob &job)
{
    const Member &member = job.member;
    if (member.found != DataFound::ByDataDescriptor)
        return job.members.locate(member);
    Result<ZipEntry> declared =
        declaredByDescriptor(job.members.bytes(), member.entry, member.dataOffset);
    if (!declared)
        return declared.error();
    return LocatedData{member.dataOffset, *declared, std::move(*declared), {}, {}, {}, {}};
}

// Whether the local header's account of the member reads or checks its data
// otherwise than the central directory's.
bool decodesOtherwise(const ZipEntry &central, const ZipEntry &local)
{
    return local.method != central.method || local.crc != central.crc ||
           local.compressedSize != central.compressedSize ||
           local.uncompressedSize != central.uncompressedSize;
}

// What decoding a member's data gave: the bytes it took in the archive, and
// what is said beside the member's line.
struct Verified
{
    uint64_t length = 0;
    std::string note;
    // Said on standard error as well: the local header alone verifies the
    // data, while listings and the free-space check believe the central
    // directory.
    std::string warning;
};

// The central directory's uncompressed size is what a listing, the window
// and the free-space check believe; only the placeholder a ZIP64 field
// should replace believes nothing.
std::optional<Error> writesMoreThanListed(const ZipEntry &central, const ZipEntry &local)
{
    const uint64_t listed = central.uncompressedSize.value_or(0);
    const uint64_t declared = local.uncompressedSize.value_or(0);
    if (listed == zip::saturated32 || declared <= listed)
        return std::nullopt;
    return Error{"its local header declares " + std::to_string(declared) +
                 " bytes, more than the " + std::to_string(listed) +
                 " the central directory lists"};
}

std::string noteOf(const LocatedData &located, const char *matched)
{
    if (located.disagreement.empty())
        return {};
    return " (its local header " + located.disagreement + matched + ")";
}

// Whether a member's data may decode as another header declares it: it did
// not decode as this one says. A failure of the target, of memory or of the
// system would only come again.
bool mayDecodeOtherwise(const Error &error)
{
    return error.kind == ErrorKind::damagedData || error.kind == ErrorKind::unsupported;
}

// A member is written only when its data decodes to the length and CRC-32
// one of its headers declares: as the central directory says, and where that
// fails, as the local header says, each time into an output of its own that
// decodeAs starts. Only a failure of the data is a reason to try again
// (mayDecodeOtherwise), not a full disk or memory running out; nor is a
// local header whose bytes would overlap another member's, nor one that
// declares more data than the central directory lists. Where the central
// directory's sizes would overlap, only the local header is followed.
// Decoding stops at the declared size either time, so a member costs two
// decodings at most.
template <typename DecodeAs>
Result<Verified> decodeVerified(const LocatedData &located, DecodeAs decodeAs)
{
    const ZipEntry &entry = located.declared;
    const bool otherwise = decodesOtherwise(entry, located.local);
    const Result<uint64_t> central =
        located.centralOverlap ? Result<uint64_t>(*located.centralOverlap) : decodeAs(entry);
    if (central)
        return Verified{
            *central,
            noteOf(located, otherwise ? "; the data matches the central directory" : ""),
            {}};
    if (!mayDecodeOtherwise(central.error()) || located.disagreement.empty())
        return central.error();
    const std::string failed = central.error().text + "; its local header " + located.disagreement;
    if (!otherwise)
        return Error{failed, central.error().kind};
    if (located.localOverlap)
        return *located.localOverlap;
    if (const std::optional<Error> more = writesMoreThanListed(entry, located.local))
        return Error{failed + "; " + more->text, ErrorKind::refused};
    const Result<uint64_t> local = decodeAs(located.local);
    if (local)
        return Verified{*local, noteOf(located, "; the data matches the local header"),
                        "the data matches its local header alone, which " + located.disagreement};
    if (!mayDecodeOtherwise(local.error()))
        return local.error();
    return Error{failed + ", and the data does not match it either", local.error().kind};
}

Result<Extracted> extractFile(const MemberJob &job, const MemberPath &path,
                              const LocatedData &located)
{
    const ZipEntry &entry = job.member.entry;
    std::unique_ptr<PendingFile> pending;
    const auto decodeAs = [&](const ZipEntry &declared) -> Result<uint64_t> {
        // A second attempt writes a new file: nothing of the first is kept.
        pending.reset();
        Result<std::unique_ptr<PendingFile>> started = job.target.startFile(path, entry.executable);
        if (!started)
            return started.error();
        pending = std::move(*started);
        CheckedOutput output(*pending, job.space);
        return decodeChecked(job.members.bytes(), declared, located, output);
    };
    const Result<Verified> verified = decodeVerified(located, decodeAs);
    if (!verified)
        return verified.error();
    RETURN_IF_ERROR(job.space.check());
    RETURN_IF_ERROR(pending->commit(timesOf(entry)));
    return Extracted{path.text() + verified->note, verified->warning, verified->length};
}

Result<Extracted> extractSymlink(const MemberJob &job, const MemberPath &path,
                                 const LocatedData &located)
{
    std::string rawTarget;
    const auto decodeAs = [&](const ZipEntry &declared) {
        rawTarget.clear();
        CheckedOutput output(rawTarget);
        return decodeChecked(job.members.bytes(), declared, located, output);
    };
    const Result<Verified> verified = decodeVerified(located, decodeAs);
    if (!verified)
        return verified.error();
    const Result<LinkTarget> linkTarget =
        extractionRules::checkLinkTarget(path, memberName::decode(rawTarget));
    if (!linkTarget)
        return linkTarget.error();
    RETURN_IF_ERROR(job.target.makeSymlink(path, *linkTarget, timesOf(job.member.entry)));
    return Extracted{path.text() + " -> " + linkTarget->text() + verified->note, verified->warning,
                     verified->length};
}

Result<Extracted> placeEntry(const MemberJob &job)
{
    const ZipEntry &entry = job.member.entry;
    const Result<MemberPath> path = extractionRules::checkMemberPath(entry.name);
    if (!path)
        return path.error();
    switch (entry.kind) {
    case EntryKind::Directory:
        RETURN_IF_ERROR(job.target.makeDirectory(*path, timesOf(entry)));
        return Extracted{path->isTarget() ? "./" : path->text() + "/", {}, std::nullopt};
    case EntryKind::SymbolicLink:
    case EntryKind::File:
        break;
    }
    if (entry.encrypted())
        return Error{"encrypted; no password is asked for", ErrorKind::unsupported};
    const Result<LocatedData> located = locate(job);
    if (!located)
        return located.error();
    if (entry.kind == EntryKind::SymbolicLink)
        return extractSymlink(job, *path, *located);
    return extractFile(job, *path, *located);
}

// Memory running out fails the member, never the process.
Result<Extracted> extractEntry(const MemberJob &job)
{
    try {
        return placeEntry(job);
    } catch (const std::bad_alloc &) {
        return Error{"out of memory", ErrorKind::outOfMemory};
    }
}

MemberLines linesFor(const ZipEntry &entry, const Result<Extracted> &extracted)
{
    MemberLines lines;
    if (extracted) {
        lines.written(extracted->line);
        if (!extracted->warning.empty())
            lines.warning(entry.name, extracted->warning);
    } else
        lines.problem(entry.name, extracted.error().text);
    return lines;
}

// What the archive as a whole is found to lack or hold besides its members.
void reportArchive(const ArchiveMembers &members, Report &report)
{
    if (members.walked()) {
        report.damaged("damaged archive: " + members.walkReason() +
                       "; members were found by their local headers");
        return;
    }
    const CentralDirectory &directory = members.directory();
    if (directory.missingEntries > 0)
        report.damaged("damaged archive: the central directory lacks " +
                       std::to_string(directory.missingEntries) + " of the members it counts");
    const std::string after =
        std::to_string(directory.bytesAfterEnd) + " bytes follow its end record";
    if (directory.recordAfterEnd)
        report.damaged("damaged archive: " + after + ", a ZIP record's signature among them");
    else if (directory.bytesAfterEnd > 0)
        report.remark(after + ", none of them a ZIP record's: ignored");
}

// Every member the archive yields, in its order: the central directory's
// side by side when the plan allows, a walk's one after another.
void extractMembers(ArchiveMembers &members, SafeTarget &target, Report &report)
{
    const ThreadPlan plan = members.walked()
                                ? ThreadPlan{}
                                : planThreads(members.bytes().size(), members.listed(), target);
    const ExtractMember extract = [&](size_t index,
                                      const SpaceWatch &space) -> std::optional<MemberOutcome> {
        const std::optional<Member> member = members.at(index);
        if (!member)
            return std::nullopt;
        const Result<Extracted> extracted = extractEntry({members, *member, target, space});
        members.passed(*member, extracted ? extracted->dataLength : std::nullopt);
        return MemberOutcome{linesFor(member->entry, extracted),
                             !extracted && lackOfSpace(extracted.error())};
    };
    extractAsPlanned(plan, members.count(), extract, report);
    reportArchive(members, report);
}

int extractArchiveUnguarded(const std::string &archivePath, const std::string &targetPath,
                            Report &report)
{
    Result<std::unique_ptr<ArchiveMembers>> members = ArchiveMembers::open(archivePath);
    if (!members) {
        report.fatal(members.error().text);
        return report.exitStatus();
    }
    Result<std::unique_ptr<SafeTarget>> target = SafeTarget::open(targetPath);
    if (!target) {
        report.fatal(target.error().text);
        return report.exitStatus();
    }
    extractMembers(**members, **target, report);
    (*target)->finish();
    return report.exitStatus();
}

} // namespace

int extractArchive(const std::string &archivePath, const std::string &targetPath, Report &report)
{
    try {
        return extractArchiveUnguarded(archivePath, targetPath, report);
    } catch (const std::bad_alloc &) {
        report.fatal("out of memory");
        return report.exitStatus();
    }
}
