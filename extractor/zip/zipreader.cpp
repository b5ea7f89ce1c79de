// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "zip/zipreader.h"

#include "base/checksum.h"
#include "base/zipformat.h"
#include "zip/codepages/codepagedetector.h"
#include "zip/membername.h"
#include "zip/splitarchive.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <initializer_list>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr size_t longestComment = 0xFFFF;

uint64_t little(std::string_view bytes, size_t at, size_t width)
{
    uint64_t value = 0;
    for (size_t i = width; i-- > 0;)
        value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    return value;
}
uint16_t le16(std::string_view bytes, size_t at)
{
    return static_cast<uint16_t>(little(bytes, at, 2));
}
uint32_t le32(std::string_view bytes, size_t at)
{
    return static_cast<uint32_t>(little(bytes, at, 4));
}
uint64_t le64(std::string_view bytes, size_t at)
{
    return little(bytes, at, 8);
}

bool startsWith(std::string_view bytes, std::string_view prefix)
{
    return bytes.substr(0, prefix.size()) == prefix;
}

Error cutShort()
{
    return Error{"the archive ends inside it"};
}

Result<std::string> readExactly(const ArchiveFile &file, size_t size, uint64_t offset)
{
    std::string bytes(size, '\0');
    const Result<size_t> got = readAt(file, bytes.data(), size, offset);
    if (!got)
        return got.error();
    if (*got != size)
        return cutShort();
    return bytes;
}

bool signatureAt(const ArchiveFile &file, uint64_t offset, std::string_view signature)
{
    const Result<std::string> bytes = readExactly(file, signature.size(), offset);
    return bytes && *bytes == signature;
}

// Reads a stretch of the file front to back in blocks, so a central
// directory of any size costs one block of memory, not its declared size.
class SequentialReader
{
public:
    SequentialReader(const ArchiveFile &file, uint64_t from, uint64_t end)
        : file_(file), position_(from), end_(std::min(end, file.size))
    {
    }

    uint64_t left() const { return position_ < end_ ? end_ - position_ : 0; }

    // The next `size` bytes, valid until the next call.
    Result<std::string_view> take(size_t size)
    {
        if (size > left())
            return cutShort();
        if (filled_ - start_ < size) {
            buffer_.erase(0, start_);
            filled_ -= start_;
            start_ = 0;
            const size_t want = static_cast<size_t>(
                std::min<uint64_t>(std::max(size, blockSize), left()) - filled_);
            buffer_.resize(filled_ + want);
            const Result<size_t> got =
                readAt(file_, buffer_.data() + filled_, want, position_ + filled_);
            if (!got)
                return got.error();
            filled_ += *got;
            if (filled_ < size)
                return cutShort();
        }
        const std::string_view bytes(buffer_.data() + start_, size);
        start_ += size;
        position_ += size;
        return bytes;
    }

private:
    static constexpr size_t blockSize = 64 * 1024;

    ArchiveFile file_;
    uint64_t position_;
    uint64_t end_;
    std::string buffer_;
    size_t start_ = 0;
    size_t filled_ = 0;
};

// Calls visit(id, data) for each extra field in turn. A field that runs past
// the end of the extra data ends the walk: it and whatever follows are
// ignored, never a reason to refuse the member.
template <typename Visit> void forEachExtraField(std::string_view extra, Visit visit)
{
    size_t at = 0;
    while (extra.size() - at >= 4) {
        const uint16_t id = le16(extra, at);
        const size_t length = le16(extra, at + 2);
        if (length > extra.size() - at - 4)
            return;
        visit(id, extra.substr(at + 4, length));
        at += 4 + length;
    }
}

constexpr uint16_t ntfsField = 0x000a;
constexpr uint16_t extendedTimestampField = 0x5455;
constexpr uint16_t unicodePathField = 0x7075;

// The 64-bit values of a ZIP64 field replace those of the header that are
// saturated, in the header's order; a value the field is too short for stays
// as the header gives it.
void applyZip64(std::string_view extra, std::initializer_list<uint64_t *> values)
{
    forEachExtraField(extra, [&](uint16_t id, std::string_view data) {
        if (id != zip::zip64Field)
            return;
        size_t at = 0;
        for (uint64_t *value : values) {
            if (*value != zip::saturated32)
                continue;
            if (data.size() - at < 8)
                return;
            *value = le64(data, at);
            at += 8;
        }
    });
}

// The segment a member's local header lies on: after the 64-bit values in
// the ZIP64 field when the central header's 16-bit number is saturated.
uint32_t diskOf(uint16_t disk, std::string_view extra, size_t zip64Values)
{
    uint32_t found = disk;
    if (disk == zip::saturated16)
        forEachExtraField(extra, [&](uint16_t id, std::string_view data) {
            if (id == zip::zip64Field && data.size() >= 8 * zip64Values + 4)
                found = le32(data, 8 * zip64Values);
        });
    return found;
}

std::optional<std::string> unicodePath(std::string_view extra, std::string_view rawName)
{
    std::optional<std::string> name;
    forEachExtraField(extra, [&](uint16_t id, std::string_view data) {
        if (id != unicodePathField || data.size() < 6 || data[0] != 1)
            return;
        const uint32_t nameCrc =
            crc32Update(0, reinterpret_cast<const unsigned char *>(rawName.data()), rawName.size());
        const std::string_view text = data.substr(5);
        if (le32(data, 1) == nameCrc && !text.empty() && memberName::isValidUtf8(text))
            name = std::string(text);
    });
    return name;
}

std::string decodeName(std::string_view rawName, uint16_t flags, std::string_view extra,
                       codePages::CodePage page)
{
    if ((flags & zip::utf8NameFlag) == 0)
        if (auto name = unicodePath(extra, rawName))
            return *name;
    return memberName::decode(rawName, page);
}

// Whether a name says nothing of its code page: neither flagged nor valid
// UTF-8, and without a Unicode Path field that matches it.
bool inLegacyCodePage(std::string_view rawName, uint16_t flags, std::string_view extra)
{
    return (flags & zip::utf8NameFlag) == 0 && !memberName::isValidUtf8(rawName) &&
           !unicodePath(extra, rawName);
}

// The code page of one name alone, for a member found without a central
// directory.
codePages::CodePage codePageOf(std::string_view rawName, uint16_t flags, std::string_view extra)
{
    codePages::CodePageDetector detector;
    if (inLegacyCodePage(rawName, flags, extra))
        detector.add(rawName);
    return detector.choice();
}

// Days since 1970-01-01 of a date in the proleptic Gregorian calendar.
int64_t daysFromCivil(int64_t year, unsigned month, unsigned day)
{
    year -= month <= 2;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const auto yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<int64_t>(dayOfEra) - 719468;
}

long localOffsetAt(time_t when)
{
    // mktime would reload the time-zone data (a stat of /etc/localtime) at
    // every call; localtime_r uses what tzset loaded, once per process.
    static const bool zoneLoaded = (tzset(), true);
    (void)zoneLoaded;
    tm local{};
    return localtime_r(&when, &local) != nullptr ? local.tm_gmtoff : 0;
}

// A DOS date and time, which are local time; nothing for an impossible one.
std::optional<timespec> fromDosTime(uint16_t time, uint16_t date)
{
    const unsigned day = date & 0x1F;
    const unsigned month = date >> 5 & 0x0F;
    const unsigned year = 1980 + (date >> 9);
    const unsigned seconds = (time & 0x1F) * 2;
    const unsigned minutes = time >> 5 & 0x3F;
    const unsigned hours = time >> 11;
    if (day == 0 || month == 0 || month > 12 || hours > 23 || minutes > 59 || seconds > 59)
        return std::nullopt;
    const int64_t asIfUtc =
        daysFromCivil(year, month, day) * 86400 + hours * 3600 + minutes * 60 + seconds;
    // The offset in force at the local time itself, found as mktime does:
    // guess with the offset at that instant in UTC, then correct once.
    auto when = static_cast<time_t>(asIfUtc - localOffsetAt(static_cast<time_t>(asIfUtc)));
    when = static_cast<time_t>(asIfUtc - localOffsetAt(when));
    return timespec{when, 0};
}

// Windows FILETIME: 100-ns ticks since 1601-01-01 UTC.
timespec fromFileTime(uint64_t ticks)
{
    constexpr uint64_t ticksPerSecond = 10000000;
    constexpr int64_t secondsFrom1601To1970 = 11644473600;
    return timespec{
        static_cast<time_t>(static_cast<int64_t>(ticks / ticksPerSecond) - secondsFrom1601To1970),
        static_cast<long>(ticks % ticksPerSecond * 100)};
}

// The modification time: the extended timestamp, else NTFS times, else the
// DOS date and time.
std::optional<timespec> modificationTime(std::string_view extra, uint16_t time, uint16_t date)
{
    std::optional<timespec> extended;
    std::optional<timespec> ntfs;
    forEachExtraField(extra, [&](uint16_t id, std::string_view data) {
        if (id == extendedTimestampField && data.size() >= 5 && (data[0] & 1) != 0)
            extended = timespec{static_cast<time_t>(static_cast<int32_t>(le32(data, 1))), 0};
        if (id != ntfsField || data.size() < 4)
            return;
        for (size_t at = 4; data.size() - at >= 4;) {
            const uint16_t tag = le16(data, at);
            const size_t length = le16(data, at + 2);
            if (length > data.size() - at - 4)
                return;
            if (tag == 1 && length >= 24 && le64(data, at + 4) != 0)
                ntfs = fromFileTime(le64(data, at + 4));
            at += 4 + length;
        }
    });
    if (extended)
        return extended;
    if (ntfs)
        return ntfs;
    return fromDosTime(time, date);
}

// Hosts whose external attributes hold a Unix mode, and MS-DOS, OS/2 (HPFS)
// and Windows (NTFS, VFAT), whose attributes are DOS's and whose archivers
// (.NET's before 4.6.1 among them) wrote "\" as the separator.
constexpr unsigned unixHost = 3;
bool dosLikeHost(unsigned host)
{
    return host == 0 || host == 6 || host == 11 || host == 14;
}

// A name from such a host, with the separators it means; "\" is an ordinary
// character in names from anywhere else, and in a local header, which does
// not say where it was made.
std::string withSeparators(std::string name, unsigned host)
{
    if (dosLikeHost(host))
        std::replace(name.begin(), name.end(), '\\', '/');
    return name;
}

void setKind(ZipEntry &entry, uint16_t madeBy, uint32_t externalAttributes)
{
    const unsigned host = madeBy >> 8;
    // The decoded name: a byte of a character of two is no separator.
    const bool slash = !entry.name.empty() && withSeparators(entry.name, host).back() == '/';
    entry.kind = slash ? EntryKind::Directory : EntryKind::File;
    if (dosLikeHost(host) && (externalAttributes & 0x10) != 0)
        entry.kind = EntryKind::Directory;
    if (host != unixHost)
        return;
    const auto mode = static_cast<mode_t>(externalAttributes >> 16);
    entry.executable = (mode & 0111) != 0;
    // Any other type (zip records data read from a pipe as a FIFO) is
    // written as a plain file of the member's data: nothing special is ever
    // created.
    if ((mode & S_IFMT) == S_IFDIR)
        entry.kind = EntryKind::Directory;
    else if ((mode & S_IFMT) == S_IFLNK)
        entry.kind = EntryKind::SymbolicLink;
}

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

// Where an offset of a segment lies in the archive. A whole archive has one,
// whatever its disk numbers say.
uint64_t archiveOffset(const ArchiveFile &file, uint32_t disk, uint64_t offset)
{
    return file.split != nullptr ? file.split->offsetOf(disk, offset) : offset;
}

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
void applyZip64End(const ArchiveFile &file, uint64_t locatorAt, EndRecord &end)
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

// The end record, with its comment, lies in the file's last bytes; a split
// archive's in its last segment.
size_t endSearchSize(const ArchiveFile &file)
{
    const uint64_t lastSize =
        file.size - (file.split != nullptr ? file.split->lastStart() : uint64_t{0});
    return static_cast<size_t>(std::min<uint64_t>(lastSize, zip::endRecordSize + longestComment));
}

// The bytes the end record is looked for in: those kept in memory, or read
// now.
Result<std::shared_ptr<const std::string>> readTail(const ArchiveFile &file)
{
    if (file.tail)
        return file.tail;
    const size_t size = endSearchSize(file);
    Result<std::string> tail = readExactly(file, size, file.size - size);
    if (!tail)
        return tail.error();
    return std::make_shared<const std::string>(std::move(*tail));
}

Result<EndRecord> readEndRecord(const ArchiveFile &file)
{
    const Error notZip{"not a ZIP archive (no end of central directory record)"};
    if (endSearchSize(file) < zip::endRecordSize)
        return notZip;
    const Result<std::shared_ptr<const std::string>> read = readTail(file);
    if (!read)
        return read.error();
    const std::string &tail = **read;
    const uint64_t tailStart = file.size - tail.size();
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

// How far every offset is off: 0 when the central directory is where the
// end record says, else the bytes before the archive, found from where the
// directory must end.
Result<uint64_t> bytesBeforeArchive(const ArchiveFile &file, const EndRecord &end)
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

// The code page of the names that do not say theirs, chosen from all of them
// before any is decoded: a pass over the central directory that keeps none.
codePages::CodePage legacyCodePage(const ArchiveFile &file, uint64_t start, uint64_t end)
{
    codePages::CodePageDetector detector;
    SequentialReader reader(file, start, end);
    while (reader.left() >= zip::centralHeaderSize) {
        const Result<std::string_view> fixed = reader.take(zip::centralHeaderSize);
        if (!fixed || !startsWith(*fixed, zip::centralSignature))
            break;
        const uint16_t flags = le16(*fixed, 8);
        const size_t nameLength = le16(*fixed, 28);
        const size_t commentLength = le16(*fixed, 32);
        const Result<std::string_view> nameAndExtra = reader.take(nameLength + le16(*fixed, 30));
        if (!nameAndExtra)
            break;
        const std::string_view name = nameAndExtra->substr(0, nameLength);
        if (inLegacyCodePage(name, flags, nameAndExtra->substr(nameLength)))
            detector.add(name);
        if (!reader.take(commentLength))
            break;
    }
    return detector.choice();
}

Result<ZipEntry> readCentralEntry(SequentialReader &reader, const ArchiveFile &file,
                                  uint64_t offsetCorrection, codePages::CodePage page)
{
    const Result<std::string_view> fixed = reader.take(zip::centralHeaderSize);
    if (!fixed)
        return fixed.error();
    if (!startsWith(*fixed, zip::centralSignature))
        return Error{"not a central directory header"};
    ZipEntry entry;
    const uint16_t madeBy = le16(*fixed, 4);
    entry.flags = le16(*fixed, 8);
    entry.method = le16(*fixed, 10);
    const uint16_t time = le16(*fixed, 12);
    const uint16_t date = le16(*fixed, 14);
    entry.crc = le32(*fixed, 16);
    uint64_t compressed = le32(*fixed, 20);
    uint64_t uncompressed = le32(*fixed, 24);
    const size_t nameLength = le16(*fixed, 28);
    const size_t extraLength = le16(*fixed, 30);
    const size_t commentLength = le16(*fixed, 32);
    const uint16_t disk = le16(*fixed, 34);
    const uint32_t externalAttributes = le32(*fixed, 38);
    uint64_t offset = le32(*fixed, 42);

    const Result<std::string_view> name = reader.take(nameLength);
    if (!name)
        return name.error();
    entry.rawName = std::string(*name);
    const Result<std::string_view> extraBytes = reader.take(extraLength);
    if (!extraBytes)
        return extraBytes.error();
    const std::string extra(*extraBytes);
    RETURN_IF_ERROR(reader.take(commentLength));

    const size_t zip64Values = (uncompressed == zip::saturated32) +
                               (compressed == zip::saturated32) + (offset == zip::saturated32);
    applyZip64(extra, {&uncompressed, &compressed, &offset});
    entry.compressedSize = compressed;
    entry.uncompressedSize = uncompressed;
    const uint64_t onDisk = archiveOffset(file, diskOf(disk, extra, zip64Values), offset);
    entry.headerOffset = onDisk + std::min(offsetCorrection, UINT64_MAX - onDisk);
    entry.name = withSeparators(decodeName(entry.rawName, entry.flags, extra, page), madeBy >> 8);
    entry.modified = modificationTime(extra, time, date);
    setKind(entry, madeBy, externalAttributes);
    return entry;
}

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

// A local ZIP64 field should hold both sizes whenever either is saturated;
// some writers give only the saturated one, as the central directory does.
void applyLocalZip64(LocalHeader &header)
{
    if (header.compressedSize != zip::saturated32 && header.uncompressedSize != zip::saturated32)
        return;
    forEachExtraField(header.extra, [&](uint16_t id, std::string_view data) {
        if (id == zip::zip64Field && data.size() >= 16) {
            header.uncompressedSize = le64(data, 0);
            header.compressedSize = le64(data, 8);
        }
    });
    applyZip64(header.extra, {&header.uncompressedSize, &header.compressedSize});
}

// Reads the local header at `offset` and, in the same read, up to `ahead`
// bytes after its fixed part: its name and extra field, and when they are
// shorter, the start of its data (dataAhead).
Result<LocalHeader> readLocalHeader(const ArchiveFile &file, uint64_t offset, size_t ahead = 0)
{
    std::string bytes(zip::localHeaderSize + ahead, '\0');
    const Result<size_t> got = readAt(file, bytes.data(), bytes.size(), offset);
    if (!got)
        return got.error();
    if (*got < zip::localHeaderSize)
        return cutShort();
    bytes.resize(*got);
    if (!startsWith(bytes, zip::localSignature))
        return Error{"no local header where the central directory says"};
    LocalHeader header;
    header.flags = le16(bytes, 6);
    header.method = le16(bytes, 8);
    header.time = le16(bytes, 10);
    header.date = le16(bytes, 12);
    header.crc = le32(bytes, 14);
    header.compressedSize = le32(bytes, 18);
    header.uncompressedSize = le32(bytes, 22);
    const size_t nameLength = le16(bytes, 26);
    const size_t headerLength = zip::localHeaderSize + nameLength + le16(bytes, 28);
    if (bytes.size() < headerLength) {
        const Result<std::string> rest =
            readExactly(file, headerLength - bytes.size(), offset + bytes.size());
        if (!rest)
            return rest.error();
        bytes += *rest;
    }
    header.rawName = bytes.substr(zip::localHeaderSize, nameLength);
    header.extra = bytes.substr(zip::localHeaderSize + nameLength,
                                headerLength - zip::localHeaderSize - nameLength);
    header.dataAhead = bytes.substr(headerLength);
    header.dataOffset = offset + headerLength;
    applyLocalZip64(header);
    return header;
}

bool sizesFollowData(uint16_t flags)
{
    return (flags & zip::sizesFollowFlag) != 0;
}

// How much to read past a member's fixed local header with it: its name as
// the central directory gives it, room for the extra fields writers put
// there, and all of its data when the whole stays small; larger data is read
// as it is decoded. The data's size is the archive's word, not yet checked
// against the file: it counts only below that small bound, whatever the name.
size_t readAheadFor(const ZipEntry &entry)
{
    constexpr size_t room = 256;
    constexpr size_t smallMember = 60 * 1024;
    const size_t header = entry.rawName.size() + room;
    const uint64_t data = entry.compressedSize.value_or(smallMember);
    return header < smallMember && data < smallMember - header ? header + static_cast<size_t>(data)
                                                               : header;
}

// The member as its local header declares it. Sizes saturated without a
// ZIP64 field declare nothing; when either header says the sizes follow the
// data, CRC-32 and sizes are the central directory's alone.
ZipEntry asLocallyDeclared(const ZipEntry &entry, const LocalHeader &header,
                           codePages::CodePage page)
{
    ZipEntry local = entry;
    local.rawName = header.rawName;
    local.name = decodeName(header.rawName, header.flags, header.extra, page);
    local.method = header.method;
    if (sizesFollowData(header.flags) || sizesFollowData(entry.flags))
        return local;
    local.crc = header.crc;
    if (header.compressedSize != zip::saturated32)
        local.compressedSize = header.compressedSize;
    if (header.uncompressedSize != zip::saturated32)
        local.uncompressedSize = header.uncompressedSize;
    return local;
}

std::string disagreementOf(const ZipEntry &central, const ZipEntry &local)
{
    std::string fields;
    const auto add = [&fields](const char *field) {
        fields += (fields.empty() ? "" : ", ") + std::string(field);
    };
    if (local.method != central.method)
        add("compression method");
    if (local.crc != central.crc)
        add("CRC-32");
    if (local.compressedSize != central.compressedSize ||
        local.uncompressedSize != central.uncompressedSize)
        add("sizes");
    std::string text = local.rawName != central.rawName ? "names it " + local.name : "";
    if (!fields.empty())
        text += (text.empty() ? "" : " and ") + ("disagrees in " + fields);
    return text;
}

uint64_t cappedSum(uint64_t a, uint64_t b)
{
    return a + std::min(b, UINT64_MAX - a);
}

// The entries by where their local headers lie, for overlapOf.
std::vector<HeaderPlace> placeHeaders(const std::vector<ZipEntry> &entries)
{
    std::vector<HeaderPlace> places(entries.size());
    for (size_t i = 0; i < entries.size(); ++i)
        places[i] = {entries[i].headerOffset, i, 0, 0};
    std::sort(places.begin(), places.end(), [](const HeaderPlace &a, const HeaderPlace &b) {
        return a.offset != b.offset ? a.offset < b.offset : a.entry < b.entry;
    });
    // The local header's name and extra field are left out: their lengths
    // are known only from it, and without them the reach is never too far.
    uint64_t reach = 0;
    size_t reaching = 0;
    for (HeaderPlace &place : places) {
        place.reachBefore = reach;
        place.reachingEntry = reaching;
        const ZipEntry &entry = entries[place.entry];
        const uint64_t least = cappedSum(cappedSum(place.offset, zip::localHeaderSize),
                                         entry.compressedSize.value_or(0));
        if (least > reach) {
            reach = least;
            reaching = place.entry;
        }
    }
    return places;
}

// The first thing the entry's bytes meet, its data of compressedSize bytes
// starting at dataOffset: a member before it, one after it, or the central
// directory.
std::optional<std::string> overlapOf(const CentralDirectory &directory, const ZipEntry &entry,
                                     uint64_t dataOffset, uint64_t compressedSize)
{
    const std::vector<HeaderPlace> &headers = directory.headers;
    const auto place = std::lower_bound(
        headers.begin(), headers.end(), entry.headerOffset,
        [](const HeaderPlace &place, uint64_t offset) { return place.offset < offset; });
    if (place != headers.end() && place->reachBefore > entry.headerOffset)
        return "member " + directory.entries[place->reachingEntry].name;
    const uint64_t dataEnd = cappedSum(dataOffset, compressedSize);
    for (auto other = place; other != headers.end() && other->offset < dataEnd; ++other)
        if (&directory.entries[other->entry] != &entry)
            return "member " + directory.entries[other->entry].name;
    if (dataEnd > directory.start)
        return std::string("the central directory");
    return std::nullopt;
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

constexpr size_t scanBlockSize = 64 * 1024;

// The first plausible local header in the first stubSize bytes of the file,
// which are read once however many signatures they hold.
std::optional<uint64_t> localHeaderInStub(const ArchiveFile &file, uint64_t stubSize)
{
    std::string block;
    for (uint64_t at = 0; stubSize - at >= zip::localHeaderSize;) {
        block.resize(static_cast<size_t>(std::min<uint64_t>(scanBlockSize, stubSize - at)));
        const Result<size_t> got = readAt(file, block.data(), block.size(), at);
        if (!got || *got < zip::localHeaderSize)
            return std::nullopt;
        const std::string_view read(block.data(), *got);
        for (size_t found = read.find(zip::localSignature);
             found != std::string_view::npos && read.size() - found >= zip::localHeaderSize;
             found = read.find(zip::localSignature, found + 1))
            if (plausibleHeader(read.substr(found, zip::localHeaderSize), at + found, stubSize,
                                file.size))
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
std::optional<uint64_t> findNamedHeader(const ArchiveFile &file, const std::string &rawName,
                                        uint64_t from, uint64_t to, uint64_t &searchLeft)
{
    const size_t headerSize = zip::localHeaderSize + rawName.size();
    const uint64_t end = std::min(file.size, cappedSum(to, headerSize));
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
        const Result<size_t> got = readAt(file, window.data() + kept, want, at);
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
void findShiftedHeaders(const ArchiveFile &file, std::vector<ZipEntry> &entries,
                        uint64_t correction)
{
    std::vector<ZipEntry *> byOffset;
    for (ZipEntry &entry : entries)
        byOffset.push_back(&entry);
    std::stable_sort(byOffset.begin(), byOffset.end(), [](const ZipEntry *a, const ZipEntry *b) {
        return a->headerOffset < b->headerOffset;
    });
    uint64_t searchLeft = 4 * file.size;
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

// Bytes before the archive by the central directory's place: a stub, or
// data descriptors the offsets leave out. Those offsets, as given or shifted
// by the descriptors before each header, lead to local headers bearing their
// names before the corrected offsets; when none does, a local header in what
// would be the stub tells that this central directory is that of a ZIP
// stored inside the archive.
void placeShiftedHeaders(const ArchiveFile &file, CentralDirectory &directory, uint64_t correction)
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

constexpr size_t shortestDescriptor = 12;
constexpr size_t longestDescriptor = 24;

// Whether what follows a member's data descriptor may: another member, the
// central directory, the end record, or the end of the file.
bool membersGoOn(std::string_view next, bool fileEnds)
{
    return (next.empty() && fileEnds) || next == zip::localSignature ||
           next == zip::centralSignature || next == zip::endSignature;
}

// Whether the data descriptor at `at` in `bytes` ends stored data of
// `length` bytes whose CRC-32 is `crc`: it records that CRC-32, and the
// length as both sizes, 4 bytes wide or 8 in a ZIP64 member. Without its
// signature it must also be followed by what follows a member: twelve zero
// bytes that start the data would otherwise pass for an empty member's
// descriptor.
bool endsStoredData(std::string_view bytes, size_t at, uint64_t length, uint32_t crc, bool fileEnds)
{
    const std::string_view descriptor = bytes.substr(at, longestDescriptor);
    const bool signature = startsWith(descriptor, zip::descriptorSignature);
    const size_t crcAt = signature ? zip::descriptorSignature.size() : 0;
    if (descriptor.size() < crcAt + 4 || le32(descriptor, crcAt) != crc)
        return false;
    for (const size_t width : {size_t{4}, size_t{8}}) {
        const size_t sizesAt = crcAt + 4;
        const size_t end = sizesAt + 2 * width;
        if (end <= descriptor.size() && little(descriptor, sizesAt, width) == length &&
            little(descriptor, sizesAt + width, width) == length &&
            (signature ||
             membersGoOn(bytes.substr(at + end, zip::localSignature.size()), fileEnds)))
            return true;
    }
    return false;
}

// A stored member's length and CRC-32, as its data descriptor gives them.
struct StoredEnd
{
    uint64_t length = 0;
    uint32_t crc = 0;
};

// The first data descriptor after a stored member's data that ends it (see
// readLocalEntry). The CRC-32 is carried along the data once, however many
// places look like a descriptor.
std::optional<StoredEnd> findStoredEnd(const ArchiveFile &file, uint64_t dataOffset,
                                       uint64_t &searchLeft)
{
    constexpr size_t lookahead = longestDescriptor + zip::localSignature.size();
    std::string block;
    uint32_t crc = 0;
    for (uint64_t at = dataOffset; at < file.size;) {
        const auto want = static_cast<size_t>(std::min<uint64_t>(scanBlockSize, file.size - at));
        if (want > searchLeft)
            return std::nullopt;
        block.resize(want);
        const Result<size_t> got = readAt(file, block.data(), want, at);
        if (!got)
            return std::nullopt;
        searchLeft -= *got;
        const bool last = *got < scanBlockSize;
        const std::string_view read(block.data(), *got);
        const auto *bytes = reinterpret_cast<const unsigned char *>(read.data());
        // A descriptor cut by the block's end is looked at whole in the next.
        const size_t whole = last ? read.size() : read.size() - (lookahead - 1);
        size_t crcUpTo = 0;
        for (size_t found = 0; found < whole && read.size() - found >= shortestDescriptor;
             ++found) {
            // The compressed size's first byte, without the signature and
            // with it: a quick look rules out most places.
            const uint64_t length = at + found - dataOffset;
            const auto low = static_cast<char>(length & 0xFF);
            if (read[found + 4] != low && read[found + 8] != low)
                continue;
            crc = crc32Update(crc, bytes + crcUpTo, found - crcUpTo);
            crcUpTo = found;
            if (endsStoredData(read, found, length, crc, last))
                return StoredEnd{length, crc};
        }
        if (last)
            return std::nullopt;
        crc = crc32Update(crc, bytes + crcUpTo, whole - crcUpTo);
        at += whole;
    }
    return std::nullopt;
}

} // namespace

Result<size_t> readAt(const ArchiveFile &file, void *buffer, size_t size, uint64_t offset)
{
    if (file.tail && offset >= file.size - file.tail->size()) {
        const std::string_view tail =
            std::string_view(*file.tail)
                .substr(static_cast<size_t>(std::min<uint64_t>(
                            offset - (file.size - file.tail->size()), file.tail->size())),
                        size);
        std::copy(tail.begin(), tail.end(), static_cast<char *>(buffer));
        return tail.size();
    }
    if (file.split != nullptr)
        return file.split->read(buffer, size, offset);
    auto *next = static_cast<char *>(buffer);
    size_t done = 0;
    while (done < size && offset + done < file.size) {
        const size_t want = std::min<size_t>(size - done, SSIZE_MAX);
        const ssize_t got = ::pread(file.fd, next + done, want, static_cast<off_t>(offset + done));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return systemError("cannot read the archive");
        }
        if (got == 0)
            break;
        done += static_cast<size_t>(got);
    }
    return done;
}

Result<CentralDirectory> readCentralDirectory(const ArchiveFile &file, Segments segments)
{
    const Result<EndRecord> end = readEndRecord(file);
    if (!end)
        return end.error();
    CentralDirectory directory;
    directory.bytesAfterEnd = end->bytesAfter;
    directory.recordAfterEnd = end->recordAfter;
    if (file.split == nullptr && segments == Segments::ReadThrough && end->lastDisk > 0 &&
        end->lastDisk < UINT16_MAX) {
        directory.segments = end->lastDisk + 1;
        return directory;
    }
    if (end->entries == 0 && end->directorySize == 0)
        return directory;
    const Result<uint64_t> correction = bytesBeforeArchive(file, *end);
    if (!correction)
        return correction.error();
    directory.start = end->directoryOffset + *correction;
    directory.codePage = legacyCodePage(file, directory.start, end->position);
    SequentialReader reader(file, directory.start, end->position);
    while (reader.left() >= zip::centralHeaderSize) {
        Result<ZipEntry> entry = readCentralEntry(reader, file, *correction, directory.codePage);
        if (!entry)
            break;
        directory.entries.push_back(std::move(*entry));
    }
    if (directory.entries.empty())
        return Error{"no readable central directory"};
    if (*correction > 0)
        placeShiftedHeaders(file, directory, *correction);
    directory.headers = placeHeaders(directory.entries);
    // A count of 16 bits wraps round in an archive of more members that has
    // no ZIP64 record; finding more members than counted is no damage.
    if (end->entries > directory.entries.size())
        directory.missingEntries = end->entries - directory.entries.size();
    return directory;
}

bool headersWhereListed(const ArchiveFile &file, const CentralDirectory &directory)
{
    return std::all_of(directory.entries.begin(), directory.entries.end(),
                       [&](const ZipEntry &entry) {
                           return signatureAt(file, entry.headerOffset, zip::localSignature);
                       });
}

ArchiveFile withTailInMemory(ArchiveFile file)
{
    if (Result<std::shared_ptr<const std::string>> tail = readTail(file))
        file.tail = std::move(*tail);
    return file;
}

Result<LocatedData> locateData(const ArchiveFile &file, const CentralDirectory &directory,
                               const ZipEntry &entry)
{
    Result<LocalHeader> header = readLocalHeader(file, entry.headerOffset, readAheadFor(entry));
    if (!header)
        return Error{"its local header cannot be read: " + header.error().text, header.error().kind,
                     header.error().systemError};
    LocatedData located{header->dataOffset,
                        asLocallyDeclared(entry, *header, directory.codePage),
                        {},
                        {},
                        {},
                        std::move(header->dataAhead)};
    located.disagreement = disagreementOf(entry, located.local);
    const auto overlap =
        overlapOf(directory, entry, located.offset, entry.compressedSize.value_or(0));
    const auto localOverlap =
        overlapOf(directory, entry, located.offset, located.local.compressedSize.value_or(0));
    if (overlap && (localOverlap || located.disagreement.empty()))
        return Error{"overlaps " + *overlap + ": possible zip bomb"};
    if (overlap)
        located.centralOverlap = Error{"its central directory entry's sizes make it overlap " +
                                       *overlap + ": possible zip bomb"};
    if (localOverlap)
        located.localOverlap = Error{"its local header's sizes make it overlap " + *localOverlap +
                                     ": possible zip bomb"};
    return located;
}

std::optional<uint64_t> findLocalHeader(const ArchiveFile &file, uint64_t from)
{
    if (from >= file.size)
        return std::nullopt;
    const auto blockSize = static_cast<size_t>(std::min<uint64_t>(64 * 1024, file.size - from));
    std::string block(blockSize, '\0');
    for (uint64_t at = from; at < file.size; at += blockSize - (zip::localSignature.size() - 1)) {
        const Result<size_t> got = readAt(file, block.data(), blockSize, at);
        if (!got || *got < zip::localSignature.size())
            return std::nullopt;
        const size_t found = std::string_view(block.data(), *got).find(zip::localSignature);
        if (found != std::string_view::npos)
            return at + found;
        if (*got < blockSize)
            return std::nullopt;
    }
    return std::nullopt;
}

bool membersEndAt(const ArchiveFile &file, uint64_t offset)
{
    return offset >= file.size || signatureAt(file, offset, zip::centralSignature) ||
           signatureAt(file, offset, zip::endSignature);
}

Result<LocalEntry> readLocalEntry(const ArchiveFile &file, uint64_t offset, uint64_t &searchLeft)
{
    Result<LocalHeader> header = readLocalHeader(file, offset);
    if (!header)
        return header.error();
    LocalEntry local;
    ZipEntry &entry = local.entry;
    entry.rawName = std::move(header->rawName);
    entry.flags = header->flags;
    entry.method = header->method;
    entry.crc = header->crc;
    if (!sizesFollowData(header->flags)) {
        entry.compressedSize = header->compressedSize;
        entry.uncompressedSize = header->uncompressedSize;
    } else if (header->method == zip::stored) {
        if (const std::optional<StoredEnd> end =
                findStoredEnd(file, header->dataOffset, searchLeft)) {
            entry.compressedSize = end->length;
            entry.uncompressedSize = end->length;
            entry.crc = end->crc;
        }
    }
    entry.headerOffset = offset;
    entry.name = decodeName(entry.rawName, entry.flags, header->extra,
                            codePageOf(entry.rawName, entry.flags, header->extra));
    entry.modified = modificationTime(header->extra, header->time, header->date);
    // A local header keeps no attributes: a name ending in "/" is all that
    // tells a directory.
    setKind(entry, 0, 0);
    local.dataOffset = header->dataOffset;
    return local;
}

Result<DataDescriptor> readDataDescriptor(const ArchiveFile &file, uint64_t offset,
                                          uint64_t compressedSize, uint64_t uncompressedSize)
{
    std::string bytes(24, '\0');
    const Result<size_t> got = readAt(file, bytes.data(), bytes.size(), offset);
    if (!got)
        return got.error();
    bytes.resize(*got);
    const bool signature = startsWith(bytes, zip::descriptorSignature);
    // Sizes of 4 bytes, or 8 in a ZIP64 member: the sizes, known from the
    // data itself, tell which, and whether a signature starts it.
    for (const size_t start : {signature ? size_t{4} : size_t{0}, size_t{0}}) {
        for (const size_t width : {size_t{4}, size_t{8}}) {
            const size_t length = start + 4 + 2 * width;
            if (length <= bytes.size() && little(bytes, start + 4, width) == compressedSize &&
                little(bytes, start + 4 + width, width) == uncompressedSize)
                return DataDescriptor{le32(bytes, start), offset + length};
        }
    }
    return Error{"its data descriptor cannot be read or does not match its data"};
}
