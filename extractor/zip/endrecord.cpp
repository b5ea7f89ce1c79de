// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "zip/endrecord.h"

#include "base/zipformat.h"
#include "zip/localheader.h"
#include "zip/recordbytes.h"

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

using namespace zipRecords;

namespace {

// The last end record whose comment fits the file; one whose comment ends
// exactly at the end of the file is preferred over one followed by bytes.
std::optional<size_t> findEndRecord(std::string_view tail)
{
    std::optional<size_t> fitting;
    for (size_t at = tail.size() - zip::endRecordSize + 1; at-- > 0;) {
        if (!startsWith(tail.substr(at), zip::endSignature))
            continue;
        const size_t ends = at + zip::endRecordSize + le16(tail, at + 20);
        if (ends == tail.size())
            return at;
        if (ends < tail.size() && !fitting)
            fitting = at;
    }
    return fitting;
}

// Whether `bytes` hold the signature of any record of a ZIP archive.
bool holdsZipRecord(std::string_view bytes)
{
    for (const std::string_view signature :
         {zip::localSignature, zip::centralSignature, zip::endSignature, zip::zip64EndSignature,
          zip::zip64LocatorSignature, zip::descriptorSignature})
        if (bytes.find(signature) != std::string_view::npos)
            return true;
    return false;
}

// A ZIP64 record where its locator says, or, with bytes before the archive,
// just before the locator.
void applyZip64End(const ByteSource &file, uint64_t locatorAt, EndRecord &end)
{
    const Result<std::string> locator = readExactly(file, zip::zip64LocatorSize, locatorAt);
    if (!locator || !startsWith(*locator, zip::zip64LocatorSignature))
        return;
    const uint64_t recordAt = archiveOffset(file, le32(*locator, 4), le64(*locator, 8));
    for (const uint64_t at : {recordAt, locatorAt - zip::zip64EndSize}) {
        const Result<std::string> record = at < locatorAt && locatorAt - at >= zip::zip64EndSize
                                               ? readExactly(file, zip::zip64EndSize, at)
                                               : Result<std::string>(cutShort());
        if (!record || !startsWith(*record, zip::zip64EndSignature))
            continue;
        end.position = at;
        end.entries = le64(*record, 32);
        end.directorySize = le64(*record, 40);
        end.directoryOffset = le64(*record, 48);
        end.lastDisk = le32(*record, 16);
        end.directoryDisk = le32(*record, 20);
        return;
    }
}

// The bytes the end record is looked for in.
Result<std::string> readTail(const ByteSource &file)
{
    const size_t size = endSearchSize(file);
    return readExactly(file, size, file.size() - size);
}

// Whether the fixed part of a local header at `offset` could be a member's:
// it has a name, lies with it in the stub, and its data fits in the file
// when its size is given. A self-extractor's code may hold the signature's
// bytes; what follows them rarely passes.
bool plausibleHeader(std::string_view fixed, uint64_t offset, uint64_t stubSize, uint64_t fileSize)
{
    const size_t nameLength = le16(fixed, 26);
    const uint64_t dataOffset = offset + zip::localHeaderSize + nameLength + le16(fixed, 28);
    if (nameLength == 0 || dataOffset > stubSize)
        return false;
    const uint64_t compressed = le32(fixed, 18);
    return sizesFollowData(le16(fixed, 6)) || compressed == zip::saturated32 ||
           compressed <= fileSize - dataOffset;
}

// The first plausible local header in the first stubSize bytes of the file,
// which are read once however many signatures they hold.
std::optional<uint64_t> localHeaderInStub(const ByteSource &file, uint64_t stubSize)
{
    std::string block;
    for (uint64_t at = 0; stubSize - at >= zip::localHeaderSize;) {
        block.resize(static_cast<size_t>(std::min<uint64_t>(scanBlockSize, stubSize - at)));
        const Result<size_t> got = file.read(block.data(), block.size(), at);
        if (!got || *got < zip::localHeaderSize)
            return std::nullopt;
        const std::string_view read(block.data(), *got);
        for (size_t found = read.find(zip::localSignature);
             found != std::string_view::npos && read.size() - found >= zip::localHeaderSize;
             found = read.find(zip::localSignature, found + 1))
            if (plausibleHeader(read.substr(found, zip::localHeaderSize), at + found, stubSize,
                                file.size()))
                return at + found;
        // A header cut by the block's end is looked at whole in the next.
        at += *got - (zip::localHeaderSize - 1);
    }
    return std::nullopt;
}

// Finds where a pattern ends in bytes given one at a time, in time linear in
// their number whatever the pattern and the bytes (Knuth, Morris and Pratt):
// a place that fails to match is never compared again.
class PatternMatcher
{
public:
    explicit PatternMatcher(std::string_view pattern)
        : pattern_(pattern), border_(pattern.size() + 1, 0)
    {
        // border_[n]: the length of the longest proper prefix of the first n
        // bytes that also ends them.
        for (size_t i = 1, matched = 0; i < pattern.size(); ++i) {
            while (matched > 0 && pattern[i] != pattern[matched])
                matched = border_[matched];
            if (pattern[i] == pattern[matched])
                ++matched;
            border_[i + 1] = static_cast<uint32_t>(matched);
        }
    }

    // Whether the pattern ends with `byte`.
    bool matchesWith(char byte)
    {
        if (pattern_.empty())
            return true;
        if (matched_ == pattern_.size())
            matched_ = border_[matched_];
        while (matched_ > 0 && byte != pattern_[matched_])
            matched_ = border_[matched_];
        if (byte == pattern_[matched_])
            ++matched_;
        return matched_ == pattern_.size();
    }

private:
    std::string_view pattern_;
    std::vector<uint32_t> border_;
    size_t matched_ = 0;
};

// Where a local header bearing `rawName` starts between `from` and `to`,
// reading at most `searchLeft` bytes and taking them from it. The name itself
// is looked for, each byte read once, and a header checked where it would
// start before each place found: a stretch full of signatures followed by
// names that nearly match costs no more than any other bytes.
std::optional<uint64_t> findNamedHeader(const ByteSource &file, const std::string &rawName,
                                        uint64_t from, uint64_t to, uint64_t &searchLeft)
{
    const size_t headerSize = zip::localHeaderSize + rawName.size();
    const uint64_t end = std::min(file.size(), cappedSum(to, headerSize));
    PatternMatcher name(rawName);
    // The bytes read last, from windowStart on: the block just read, after
    // the header's worth before it.
    std::string window;
    uint64_t windowStart = from;
    for (uint64_t at = from; at < end;) {
        const auto want = static_cast<size_t>(std::min<uint64_t>(scanBlockSize, end - at));
        if (want > searchLeft)
            return std::nullopt;
        if (window.size() > headerSize) {
            windowStart += window.size() - headerSize;
            window.erase(0, window.size() - headerSize);
        }
        const size_t kept = window.size();
        window.resize(kept + want);
        const Result<size_t> got = file.read(window.data() + kept, want, at);
        if (!got || *got == 0)
            return std::nullopt;
        searchLeft -= *got;
        window.resize(kept + *got);
        for (size_t i = kept; i < window.size(); ++i) {
            if (!name.matchesWith(window[i]) || i + 1 < headerSize)
                continue;
            const size_t header = i + 1 - headerSize;
            if (startsWith(std::string_view(window).substr(header), zip::localSignature) &&
                le16(window, header + 26) == rawName.size())
                return windowStart + header;
        }
        at += *got;
    }
    return std::nullopt;
}

// A tool that adds data descriptors to an archive without moving its offsets
// leaves each local header later than its offset says by the descriptors
// before it, and the central directory by all of them; the uniform
// correction then takes every header for later than it is. A member whose
// header is not at the corrected offset has it looked for by its name, from
// where its offset says up to the corrected one, and never before the shift
// of the member before it: descriptors only add. In all, the search reads a
// few times the archive's size at most.
void findShiftedHeaders(const ByteSource &file, std::vector<ZipEntry> &entries, uint64_t correction)
{
    std::vector<ZipEntry *> byOffset;
    for (ZipEntry &entry : entries)
        byOffset.push_back(&entry);
    std::stable_sort(byOffset.begin(), byOffset.end(), [](const ZipEntry *a, const ZipEntry *b) {
        return a->headerOffset < b->headerOffset;
    });
    uint64_t searchLeft = 4 * file.size();
    uint64_t shift = 0;
    for (ZipEntry *entry : byOffset) {
        if (signatureAt(file, entry->headerOffset, zip::localSignature))
            continue;
        const uint64_t given = entry->headerOffset - correction;
        if (const std::optional<uint64_t> found = findNamedHeader(
                file, entry->rawName, given + shift, entry->headerOffset, searchLeft)) {
            shift = *found - given;
            entry->headerOffset = *found;
        }
    }
}

} // namespace

namespace zipRecords {

uint64_t archiveOffset(const ByteSource &file, uint32_t disk, uint64_t offset)
{
    return file.offsetOf(disk, offset);
}

Result<EndRecord> readEndRecord(const ByteSource &file)
{
    const Error notZip{"not a ZIP archive (no end of central directory record)"};
    if (endSearchSize(file) < zip::endRecordSize)
        return notZip;
    const Result<std::string> read = readTail(file);
    if (!read)
        return read.error();
    const std::string &tail = *read;
    const uint64_t tailStart = file.size() - tail.size();
    const std::optional<size_t> at = findEndRecord(tail);
    if (!at)
        return notZip;
    EndRecord end{tailStart + *at, le16(tail, *at + 10), le32(tail, *at + 12), le32(tail, *at + 16),
                  tail.size() - *at - zip::endRecordSize - le16(tail, *at + 20)};
    end.recordAfter = holdsZipRecord(std::string_view(tail).substr(tail.size() - end.bytesAfter));
    end.lastDisk = le16(tail, *at + 4);
    end.directoryDisk = le16(tail, *at + 6);
    if (end.position >= zip::zip64LocatorSize)
        applyZip64End(file, end.position - zip::zip64LocatorSize, end);
    end.directoryOffset = archiveOffset(file, end.directoryDisk, end.directoryOffset);
    return end;
}

Result<uint64_t> bytesBeforeArchive(const ByteSource &file, const EndRecord &end)
{
    if (end.directoryOffset < end.position &&
        signatureAt(file, end.directoryOffset, zip::centralSignature))
        return uint64_t{0};
    if (end.directorySize <= end.position) {
        const uint64_t start = end.position - end.directorySize;
        if (start > end.directoryOffset && signatureAt(file, start, zip::centralSignature))
            return start - end.directoryOffset;
    }
    return Error{"no readable central directory"};
}

void placeShiftedHeaders(const ByteSource &file, CentralDirectory &directory, uint64_t correction)
{
    std::vector<ZipEntry> shifted = directory.entries;
    findShiftedHeaders(file, shifted, correction);
    const bool descriptorsLeftOut =
        !std::equal(shifted.begin(), shifted.end(), directory.entries.begin(),
                    [](const ZipEntry &found, const ZipEntry &corrected) {
                        return found.headerOffset == corrected.headerOffset;
                    });
    if (!descriptorsLeftOut)
        directory.headerInStub = localHeaderInStub(file, correction);
    if (!directory.headerInStub)
        directory.entries = std::move(shifted);
}

} // namespace zipRecords
