// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "zip/entryfields.h"

#include "base/checksum.h"
#include "base/utf8.h"
#include "base/zipformat.h"
#include "zip/codepages/codepagedetector.h"
#include "zip/membername.h"
#include "zip/recordbytes.h"

#include <sys/stat.h>

using namespace zipRecords;

namespace {

constexpr uint16_t ntfsField = 0x000a;

constexpr uint16_t extendedTimestampField = 0x5455;

constexpr uint16_t unicodePathField = 0x7075;

std::optional<std::string> unicodePath(std::string_view extra, std::string_view rawName)
{
    std::optional<std::string> name;
    forEachExtraField(extra, [&](uint16_t id, std::string_view data) {
        if (id != unicodePathField || data.size() < 6 || data[0] != 1)
            return;
        const uint32_t nameCrc =
            crc32Update(0, reinterpret_cast<const unsigned char *>(rawName.data()), rawName.size());
        const std::string_view text = data.substr(5);
        if (le32(data, 1) == nameCrc && !text.empty() && utf8::isValid(text))
            name = std::string(text);
    });
    return name;
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

// Hosts whose external attributes hold a Unix mode, and MS-DOS, OS/2 (HPFS)
// and Windows (NTFS, VFAT), whose attributes are DOS's and whose archivers
// (.NET's before 4.6.1 among them) wrote "\" as the separator.
constexpr unsigned unixHost = 3;

bool dosLikeHost(unsigned host)
{
    return host == 0 || host == 6 || host == 11 || host == 14;
}

} // namespace

namespace zipRecords {

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

std::string decodeName(std::string_view rawName, uint16_t flags, std::string_view extra,
                       codePages::CodePage page)
{
    if ((flags & zip::utf8NameFlag) == 0)
        if (auto name = unicodePath(extra, rawName))
            return *name;
    return memberName::decode(rawName, page);
}

bool inLegacyCodePage(std::string_view rawName, uint16_t flags, std::string_view extra)
{
    return (flags & zip::utf8NameFlag) == 0 && !utf8::isValid(rawName) &&
           !unicodePath(extra, rawName);
}

codePages::CodePage codePageOf(std::string_view rawName, uint16_t flags, std::string_view extra)
{
    codePages::CodePageDetector detector;
    if (inLegacyCodePage(rawName, flags, extra))
        detector.add(rawName);
    return detector.choice();
}

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

} // namespace zipRecords
