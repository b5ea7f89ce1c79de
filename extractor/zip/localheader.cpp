// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "zip/localheader.h"

#include "base/zipformat.h"
#include "zip/entryfields.h"
#include "zip/overlap.h"
#include "zip/recordbytes.h"
#include "zip/zipreader.h"

#include <string_view>

using namespace zipRecords;

namespace {

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

} // namespace

namespace zipRecords {

Result<LocalHeader> readLocalHeader(const ByteSource &file, uint64_t offset, size_t ahead)
{
    std::string bytes(zip::localHeaderSize + ahead, '\0');
    const Result<size_t> got = file.read(bytes.data(), bytes.size(), offset);
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

} // namespace zipRecords

Result<LocatedData> locateData(const ByteSource &file, const CentralDirectory &directory,
                               const ZipEntry &entry)
{
    Result<LocalHeader> header = readLocalHeader(file, entry.headerOffset, readAheadFor(entry));
    if (!header)
        return Error{"its local header cannot be read: " + header.error().text, header.error().kind,
                     header.error().systemError};
    LocatedData located{header->dataOffset,
                        entry,
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
