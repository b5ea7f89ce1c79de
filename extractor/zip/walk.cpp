// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "zip/zipreader.h"

#include "base/checksum.h"
#include "base/zipformat.h"
#include "zip/entryfields.h"
#include "zip/localheader.h"
#include "zip/recordbytes.h"

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>

using namespace zipRecords;

namespace {

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
std::optional<StoredEnd> findStoredEnd(const ByteSource &file, uint64_t dataOffset,
                                       uint64_t &searchLeft)
{
    constexpr size_t lookahead = longestDescriptor + zip::localSignature.size();
    std::string block;
    uint32_t crc = 0;
    for (uint64_t at = dataOffset; at < file.size();) {
        const auto want = static_cast<size_t>(std::min<uint64_t>(scanBlockSize, file.size() - at));
        if (want > searchLeft)
            return std::nullopt;
        block.resize(want);
        const Result<size_t> got = file.read(block.data(), want, at);
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

std::optional<uint64_t> findLocalHeader(const ByteSource &file, uint64_t from)
{
    if (from >= file.size())
        return std::nullopt;
    const auto blockSize = static_cast<size_t>(std::min<uint64_t>(64 * 1024, file.size() - from));
    std::string block(blockSize, '\0');
    for (uint64_t at = from; at < file.size(); at += blockSize - (zip::localSignature.size() - 1)) {
        const Result<size_t> got = file.read(block.data(), blockSize, at);
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

bool membersEndAt(const ByteSource &file, uint64_t offset)
{
    return offset >= file.size() || signatureAt(file, offset, zip::centralSignature) ||
           signatureAt(file, offset, zip::endSignature);
}

Result<LocalEntry> readLocalEntry(const ByteSource &file, uint64_t offset, uint64_t &searchLeft)
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

Result<DataDescriptor> readDataDescriptor(const ByteSource &file, uint64_t offset,
                                          uint64_t compressedSize, uint64_t uncompressedSize)
{
    std::string bytes(24, '\0');
    const Result<size_t> got = file.read(bytes.data(), bytes.size(), offset);
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
