// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "extract.h"

#include "base/checksum.h"
#include "methods/methods.h"
#include "output/safetarget.h"
#include "sharedrun.h"
#include "threadplan.h"
#include "zip/membername.h"
#include "zip/splitarchive.h"
#include "zip/zipreader.h"

#include <algorithm>
#include <cerrno>
#include <memory>
#include <new>
#include <sys/stat.h>
#include <unistd.h>
#include <variant>
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
            if (Result<void> going = space_.check(); !going)
                return going;
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

// A member found by walking comes with its data offset; one from the central
// directory has its local header read.
using DataLocation = std::variant<uint64_t, const CentralDirectory *>;

// A walked member's data as its local header, or its data descriptor,
// declares it.
Result<LocatedData> locate(const ByteSource &file, const ZipEntry &entry,
                           const DataLocation &location)
{
    if (const auto *walkedDataOffset = std::get_if<uint64_t>(&location)) {
        if (entry.compressedSize)
            return LocatedData{*walkedDataOffset, entry, {}, {}, {}, {}};
        Result<ZipEntry> declared = declaredByDescriptor(file, entry, *walkedDataOffset);
        if (!declared)
            return declared.error();
        return LocatedData{*walkedDataOffset, std::move(*declared), {}, {}, {}, {}};
    }
    return locateData(file, *std::get<const CentralDirectory *>(location), entry);
}

// What a member is decoded as first: its central directory entry, or, found
// by walking, what its local header and data descriptor declare.
const ZipEntry &firstDeclared(const ZipEntry &entry, const DataLocation &location,
                              const LocatedData &located)
{
    return std::holds_alternative<uint64_t>(location) ? located.local : entry;
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

// A member is written only when its data decodes to the length and CRC-32
// one of its headers declares: as the central directory says, and where that
// fails, as the local header says, each time into an output of its own that
// decodeAs starts. A failure the system gave (a full disk) is no reason to
// try again, nor is a local header whose bytes would overlap another
// member's, nor one that declares more data than the central directory
// lists. Where the central directory's sizes would overlap, only the local
// header is followed. Decoding stops at the declared size either time, so a
// member costs two decodings at most.
template <typename DecodeAs>
Result<Verified> decodeVerified(const ZipEntry &entry, const LocatedData &located,
                                DecodeAs decodeAs)
{
    const bool otherwise = decodesOtherwise(entry, located.local);
    const Result<uint64_t> central =
        located.centralOverlap ? Result<uint64_t>(*located.centralOverlap) : decodeAs(entry);
    if (central)
        return Verified{
            *central,
            noteOf(located, otherwise ? "; the data matches the central directory" : ""),
            {}};
    if (central.error().systemError != 0 || located.disagreement.empty())
        return central.error();
    const std::string failed = central.error().text + "; its local header " + located.disagreement;
    if (!otherwise)
        return Error{failed};
    if (located.localOverlap)
        return *located.localOverlap;
    if (const std::optional<Error> more = writesMoreThanListed(entry, located.local))
        return Error{failed + "; " + more->text};
    const Result<uint64_t> local = decodeAs(located.local);
    if (local)
        return Verified{*local, noteOf(located, "; the data matches the local header"),
                        "the data matches its local header alone, which " + located.disagreement};
    if (local.error().systemError != 0)
        return local.error();
    return Error{failed + ", and the data does not match it either"};
}

Result<Extracted> extractFile(const ByteSource &file, const ZipEntry &entry,
                              const DataLocation &location, const MemberPath &path,
                              SafeTarget &target, const SpaceWatch &space)
{
    const Result<LocatedData> located = locate(file, entry, location);
    if (!located)
        return located.error();
    std::unique_ptr<PendingFile> pending;
    const auto decodeAs = [&](const ZipEntry &declared) -> Result<uint64_t> {
        // A second attempt writes a new file: nothing of the first is kept.
        pending.reset();
        Result<std::unique_ptr<PendingFile>> started = target.startFile(path, entry.executable);
        if (!started)
            return started.error();
        pending = std::move(*started);
        CheckedOutput output(*pending, space);
        return decodeChecked(file, declared, *located, output);
    };
    const Result<Verified> verified =
        decodeVerified(firstDeclared(entry, location, *located), *located, decodeAs);
    if (!verified)
        return verified.error();
    if (const Result<void> going = space.check(); !going)
        return going.error();
    if (const Result<void> committed = pending->commit(timesOf(entry)); !committed)
        return committed.error();
    return Extracted{path.text() + verified->note, verified->warning, verified->length};
}

Result<Extracted> extractSymlink(const ByteSource &file, const ZipEntry &entry,
                                 const DataLocation &location, const MemberPath &path,
                                 SafeTarget &target)
{
    const Result<LocatedData> located = locate(file, entry, location);
    if (!located)
        return located.error();
    std::string rawTarget;
    const auto decodeAs = [&](const ZipEntry &declared) {
        rawTarget.clear();
        CheckedOutput output(rawTarget);
        return decodeChecked(file, declared, *located, output);
    };
    const Result<Verified> verified =
        decodeVerified(firstDeclared(entry, location, *located), *located, decodeAs);
    if (!verified)
        return verified.error();
    const Result<LinkTarget> linkTarget =
        extractionRules::checkLinkTarget(path, memberName::decode(rawTarget));
    if (!linkTarget)
        return linkTarget.error();
    if (const Result<void> made = target.makeSymlink(path, *linkTarget, timesOf(entry)); !made)
        return made.error();
    return Extracted{path.text() + " -> " + linkTarget->text() + verified->note, verified->warning,
                     verified->length};
}

Result<Extracted> placeEntry(const ByteSource &file, const ZipEntry &entry,
                             const DataLocation &location, SafeTarget &target,
                             const SpaceWatch &space)
{
    const Result<MemberPath> path = extractionRules::checkMemberPath(entry.name);
    if (!path)
        return path.error();
    switch (entry.kind) {
    case EntryKind::Directory:
        if (const Result<void> made = target.makeDirectory(*path, timesOf(entry)); !made)
            return made.error();
        return Extracted{path->isTarget() ? "./" : path->text() + "/", {}, std::nullopt};
    case EntryKind::SymbolicLink:
    case EntryKind::File:
        break;
    }
    if (entry.encrypted())
        return Error{"encrypted; no password is asked for"};
    if (entry.kind == EntryKind::SymbolicLink)
        return extractSymlink(file, entry, location, *path, target);
    return extractFile(file, entry, location, *path, target, space);
}

// Memory running out fails the member, never the process.
Result<Extracted> extractEntry(const ByteSource &file, const ZipEntry &entry,
                               const DataLocation &location, SafeTarget &target,
                               const SpaceWatch &space = {})
{
    try {
        return placeEntry(file, entry, location, target, space);
    } catch (const std::bad_alloc &) {
        return Error{"out of memory", ENOMEM};
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

void extractListed(const ByteSource &file, const CentralDirectory &directory, SafeTarget &target,
                   Report &report)
{
    const ThreadPlan plan = planThreads(file.size(), directory.entries, target);
    const ExtractMember extract = [&](size_t index, const SpaceWatch &space) {
        const ZipEntry &entry = directory.entries[index];
        const Result<Extracted> extracted = extractEntry(file, entry, &directory, target, space);
        return MemberOutcome{linesFor(entry, extracted),
                             !extracted && lackOfSpace(extracted.error())};
    };
    extractAsPlanned(plan, directory.entries.size(), extract, report);
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

// Where the member after this one starts: right after its data when its
// length is known and a header follows, else at the next local header
// signature; after the data of a member written, since headers inside it
// belong to its data, and writing them as members would write its bytes
// again. A central directory and end record may be followed by another
// archive joined to this one: its local headers are walked too.
std::optional<uint64_t> nextMemberAfter(const ByteSource &file, const LocalEntry &walked,
                                        const Result<Extracted> &extracted)
{
    const bool written = extracted && extracted->dataLength;
    const std::optional<uint64_t> length =
        written ? extracted->dataLength : walked.entry.compressedSize;
    if (length && *length <= file.size() - std::min(walked.dataOffset, file.size())) {
        const uint64_t next = walked.dataOffset + *length;
        const std::optional<uint64_t> after = findLocalHeader(file, next);
        if (written || after == next || membersEndAt(file, next))
            return after;
    }
    return findLocalHeader(file, walked.dataOffset);
}

// Where walking local headers starts, and why the central directory is not
// followed.
struct Walk
{
    uint64_t firstHeader = 0;
    std::string reason;
};

// An archive cut short has no central directory, but each member it still
// holds whole is found by its local header, from the start.
void extractByLocalHeaders(const ByteSource &file, const Walk &walk, SafeTarget &target,
                           Report &report)
{
    // Enough to look through each stored member once for its data
    // descriptor, and through a few members that have none.
    uint64_t descriptorSearchLeft = 4 * file.size();
    size_t index = 0;
    for (std::optional<uint64_t> offset = walk.firstHeader; offset;) {
        const Result<LocalEntry> walked = readLocalEntry(file, *offset, descriptorSearchLeft);
        if (!walked)
            break;
        const Result<Extracted> extracted =
            extractEntry(file, walked->entry, walked->dataOffset, target);
        report.publish(index++, linesFor(walked->entry, extracted));
        offset = nextMemberAfter(file, *walked, extracted);
    }
    report.damaged("damaged archive: " + walk.reason +
                   "; members were found by their local headers");
}

// The archive is walked from its first local header when it has no central
// directory, or an empty one while members lie before it; from the header
// in its stub when the directory found is that of a ZIP stored inside it.
// A file whose first local header cannot even be read is no archive.
std::optional<Walk> walkInstead(const ByteSource &file, const Result<CentralDirectory> &directory)
{
    if (directory && directory->headerInStub)
        return Walk{*directory->headerInStub,
                    "the central directory found is that of a ZIP stored inside it or "
                    "joined after it"};
    if (directory && !directory->entries.empty())
        return std::nullopt;
    const std::optional<uint64_t> firstHeader = findLocalHeader(file, 0);
    // The end of its data is not looked for here.
    uint64_t noSearch = 0;
    if (firstHeader && readLocalEntry(file, *firstHeader, noSearch))
        return Walk{*firstHeader, "no readable central directory"};
    return std::nullopt;
}

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

int extractArchiveUnguarded(const std::string &archivePath, const std::string &targetPath,
                            Report &report)
{
    const Result<OpenedFile> opened = openRegularFile(archivePath, "the archive");
    if (!opened) {
        report.fatal(opened.error().text);
        return report.exitStatus();
    }
    const PlainFile plain(opened->fd.get(), opened->size);
    const KeptTail whole(plain);
    Result<CentralDirectory> directory = readCentralDirectory(whole);
    std::unique_ptr<SplitArchive> split;
    std::unique_ptr<KeptTail> splitFile;
    if (directory && directory->segments > 1) {
        Result<std::unique_ptr<SplitArchive>> found =
            SplitArchive::find(archivePath, whole, directory->segments);
        if (!found) {
            report.fatal(found.error().text);
            return report.exitStatus();
        }
        if (std::optional<CentralDirectory> joined = wholeDespiteSegments(whole, **found)) {
            directory = std::move(*joined);
        } else {
            split = std::move(*found);
            splitFile = std::make_unique<KeptTail>(*split);
            directory = readCentralDirectory(*splitFile);
        }
    }
    const ByteSource &file = split ? static_cast<const ByteSource &>(*splitFile) : whole;
    const std::optional<Walk> walk = walkInstead(file, directory);
    if (!directory && !walk) {
        report.fatal(directory.error().text);
        return report.exitStatus();
    }
    Result<std::unique_ptr<SafeTarget>> target = SafeTarget::open(targetPath);
    if (!target) {
        report.fatal(target.error().text);
        return report.exitStatus();
    }
    if (walk)
        extractByLocalHeaders(file, *walk, **target, report);
    else
        extractListed(file, *directory, **target, report);
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
