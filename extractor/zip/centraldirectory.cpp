// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "zip/zipreader.h"

#include "base/zipformat.h"
#include "zip/codepages/codepagedetector.h"
#include "zip/endrecord.h"
#include "zip/entryfields.h"
#include "zip/overlap.h"
#include "zip/recordbytes.h"

#include <algorithm>
#include <climits>
#include <string>
#include <string_view>

using namespace zipRecords;

namespace {

// The code page of the names that do not say theirs, chosen from all of them
// before any is decoded: a pass over the central directory that keeps none.
codePages::CodePage legacyCodePage(const ByteSource &file, uint64_t start, uint64_t end)
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

Result<ZipEntry> readCentralEntry(SequentialReader &reader, const ByteSource &file,
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

} // namespace

Result<CentralDirectory> readCentralDirectory(const ByteSource &file, Segments segments)
{
    const Result<EndRecord> end = readEndRecord(file);
    if (!end)
        return end.error();
    CentralDirectory directory;
    directory.bytesAfterEnd = end->bytesAfter;
    directory.recordAfterEnd = end->recordAfter;
    if (!file.segmented() && segments == Segments::ReadThrough && end->lastDisk > 0 &&
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

bool headersWhereListed(const ByteSource &file, const CentralDirectory &directory)
{
    return std::all_of(directory.entries.begin(), directory.entries.end(),
                       [&](const ZipEntry &entry) {
                           return signatureAt(file, entry.headerOffset, zip::localSignature);
                       });
}
