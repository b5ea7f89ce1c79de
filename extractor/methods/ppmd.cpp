// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "methods/streamdecoder.h"

#include "base/zipformat.h"

#include <archive.h>
#include <archive_entry.h>

#include <array>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

// No library but libarchive decodes PPMd, and it decodes it only inside a ZIP
// archive: a member is handed to its streaming reader as a one-member archive,
// a local header written here followed by the member's compressed bytes.
namespace {

constexpr uint16_t ppmdVersionNeeded = 63;
constexpr size_t blockSize = 32 * 1024;

struct ReaderFree
{
    void operator()(archive *reader) const { archive_read_free(reader); }
};

class HeaderWriter
{
public:
    void put16(uint16_t value)
    {
        for (int shift = 0; shift < 16; shift += 8)
            bytes.push_back(static_cast<unsigned char>(value >> shift));
    }
    void put32(uint32_t value)
    {
        put16(static_cast<uint16_t>(value));
        put16(static_cast<uint16_t>(value >> 16));
    }
    void put64(uint64_t value)
    {
        put32(static_cast<uint32_t>(value));
        put32(static_cast<uint32_t>(value >> 32));
    }
    void put(std::string_view text) { bytes.insert(bytes.end(), text.begin(), text.end()); }

    std::vector<unsigned char> bytes;
};

// A local header for a member named "m" with the given sizes (ZIP64 when they
// need it) and a CRC of 0: the caller checks the CRC, libarchive is told not to.
std::vector<unsigned char> localHeader(uint64_t compressedSize, uint64_t decodedSize)
{
    const bool zip64 = compressedSize >= zip::saturated32 || decodedSize >= zip::saturated32;
    HeaderWriter header;
    header.put(zip::localSignature);
    header.put16(ppmdVersionNeeded);
    header.put16(0);
    header.put16(zip::ppmd);
    header.put32(0);
    header.put32(0);
    header.put32(zip64 ? zip::saturated32 : static_cast<uint32_t>(compressedSize));
    header.put32(zip64 ? zip::saturated32 : static_cast<uint32_t>(decodedSize));
    header.put16(1);
    header.put16(zip64 ? 20 : 0);
    header.put("m");
    if (zip64) {
        header.put16(zip::zip64Field);
        header.put16(16);
        header.put64(decodedSize);
        header.put64(compressedSize);
    }
    return header.bytes;
}

// What libarchive reads: the header, then the member's bytes.
struct Source
{
    std::vector<unsigned char> header;
    bool headerGiven = false;
    CompressedInput *input = nullptr;
    std::array<unsigned char, blockSize> block;
    std::optional<Error> failure;
};

la_ssize_t readSource(archive *reader, void *data, const void **buffer)
{
    auto *source = static_cast<Source *>(data);
    if (!source->headerGiven) {
        source->headerGiven = true;
        *buffer = source->header.data();
        return static_cast<la_ssize_t>(source->header.size());
    }
    const Result<size_t> got = source->input->read(source->block.data(), blockSize);
    if (!got) {
        source->failure = got.error();
        archive_set_error(reader, got.error().systemError, "%s", got.error().text.c_str());
        return -1;
    }
    *buffer = source->block.data();
    return static_cast<la_ssize_t>(*got);
}

Result<void> copyDecoded(archive *reader, uint64_t decodedSize, DecodedOutput &output)
{
    uint64_t produced = 0;
    for (;;) {
        const void *data = nullptr;
        size_t size = 0;
        la_int64_t offset = 0;
        const int status = archive_read_data_block(reader, &data, &size, &offset);
        if (status == ARCHIVE_EOF)
            break;
        if (status != ARCHIVE_OK || offset < 0 || static_cast<uint64_t>(offset) != produced ||
            size > decodedSize - produced)
            return damagedData();
        RETURN_IF_ERROR(output.write(static_cast<const unsigned char *>(data), size));
        produced += size;
    }
    if (produced != decodedSize)
        return damagedData();
    return {};
}

} // namespace

Result<uint64_t> decodePpmd(const CompressedMember &member, CompressedInput &input,
                            DecodedOutput &output)
{
    if (!member.compressedSize || !member.uncompressedSize)
        return Error{"PPMd member of unknown size", ErrorKind::unsupported};
    std::unique_ptr<archive, ReaderFree> reader(archive_read_new());
    if (!reader)
        return outOfMemory();
    auto source = std::make_unique<Source>();
    source->header = localHeader(*member.compressedSize, *member.uncompressedSize);
    source->input = &input;
    archive_entry *entry = nullptr;
    if (archive_read_support_format_zip_streamable(reader.get()) != ARCHIVE_OK ||
        archive_read_set_options(reader.get(), "zip:ignorecrc32") != ARCHIVE_OK ||
        archive_read_open(reader.get(), source.get(), nullptr, readSource, nullptr) != ARCHIVE_OK ||
        archive_read_next_header(reader.get(), &entry) != ARCHIVE_OK)
        return source->failure.value_or(damagedData());
    if (const Result<void> copied = copyDecoded(reader.get(), *member.uncompressedSize, output);
        !copied)
        return source->failure.value_or(copied.error());
    return *member.compressedSize;
}
