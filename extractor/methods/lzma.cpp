// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "methods/streamdecoder.h"

#include "base/zipformat.h"

#include <lzma.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace {

// xz's strongest preset needs 65 MiB to decode; four times that is granted.
constexpr uint64_t memoryLimit = uint64_t{256} << 20;

// Each LZMA member's data starts with a version (2 bytes), the size of the
// properties (2 bytes, little-endian) and the 5 bytes of LZMA properties.
constexpr size_t lzmaHeaderSize = 4;
constexpr size_t lzmaPropertiesSize = 5;

struct LzmaEnd
{
    void operator()(lzma_stream *stream) const
    {
        lzma_end(stream);
        delete stream;
    }
};

// liblzma's decoder, of whichever kind the subclass starts.
class LzmaStream : public StreamDecoder
{
public:
    Result<bool> step(StreamWindows &windows) override
    {
        stream_->next_in = windows.in;
        stream_->avail_in = windows.inLeft;
        stream_->next_out = windows.out;
        stream_->avail_out = windows.outLeft;
        const lzma_ret status = lzma_code(stream_.get(), LZMA_RUN);
        windows.in = stream_->next_in;
        windows.inLeft = stream_->avail_in;
        windows.out = stream_->next_out;
        windows.outLeft = stream_->avail_out;
        switch (status) {
        case LZMA_STREAM_END:
            return true;
        case LZMA_OK:
        case LZMA_BUF_ERROR:
            return false;
        default:
            return failure(status);
        }
    }

    static Error failure(lzma_ret status)
    {
        if (status == LZMA_MEM_ERROR)
            return outOfMemory();
        if (status == LZMA_MEMLIMIT_ERROR)
            return tooMuchMemory();
        return damagedData();
    }

protected:
    lzma_stream *stream() { return stream_.get(); }

private:
    std::unique_ptr<lzma_stream, LzmaEnd> stream_{new lzma_stream(LZMA_STREAM_INIT)};
};

// XZ streams may follow one another in a member, with stream padding between
// them: null bytes, a multiple of four.
class XzDecoder : public LzmaStream
{
public:
    Result<void> start()
    {
        betweenStreams_ = false;
        if (const lzma_ret status = lzma_stream_decoder(stream(), memoryLimit, 0);
            status != LZMA_OK)
            return failure(status);
        return {};
    }

    Result<bool> step(StreamWindows &windows) override
    {
        if (betweenStreams_) {
            skipPadding(windows);
            if (windows.inLeft == 0)
                return false;
            if (padding_ % 4 != 0)
                return damagedData();
            RETURN_IF_ERROR(start());
        }
        return LzmaStream::step(windows);
    }

    Result<void> startNextStream() override
    {
        betweenStreams_ = true;
        padding_ = 0;
        return {};
    }

private:
    void skipPadding(StreamWindows &windows)
    {
        while (windows.inLeft > 0 && *windows.in == 0) {
            ++windows.in;
            --windows.inLeft;
            ++padding_;
        }
    }

    bool betweenStreams_ = false;
    uint64_t padding_ = 0;
};

struct FreeOptions
{
    void operator()(void *options) const { std::free(options); }
};

// The raw decoder for the member's LZMA properties. With an end marker the
// stream must end with it; without one it ends at the declared size.
class LzmaDecoder : public LzmaStream
{
public:
    Result<void> start(const CompressedMember &member, const unsigned char *properties)
    {
        lzma_filter filters[2] = {{LZMA_FILTER_LZMA1, nullptr}, {LZMA_VLI_UNKNOWN, nullptr}};
        if (lzma_properties_decode(&filters[0], nullptr, properties, lzmaPropertiesSize) != LZMA_OK)
            return damagedData();
        std::unique_ptr<void, FreeOptions> owner(filters[0].options);
        auto *options = static_cast<lzma_options_lzma *>(filters[0].options);
        if (member.uncompressedSize) {
            // No match reaches further back than the data decoded so far.
            options->dict_size = static_cast<uint32_t>(
                std::min<uint64_t>(options->dict_size, std::max<uint64_t>(*member.uncompressedSize,
                                                                          LZMA_DICT_SIZE_MIN)));
        }
        if (!(member.flags & zip::lzmaEndMarkerFlag)) {
            filters[0].id = LZMA_FILTER_LZMA1EXT;
            options->ext_flags = LZMA_LZMA1EXT_ALLOW_EOPM;
            lzma_set_ext_size(*options, member.uncompressedSize.value_or(UINT64_MAX));
        }
        if (lzma_raw_decoder_memusage(filters) > memoryLimit)
            return tooMuchMemory();
        if (const lzma_ret status = lzma_raw_decoder(stream(), filters); status != LZMA_OK)
            return failure(status);
        return {};
    }
};

uint16_t littleEndian16(const unsigned char *bytes)
{
    return static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
}

} // namespace

Result<uint64_t> decodeLzma(const CompressedMember &member, CompressedInput &input,
                            DecodedOutput &output)
{
    unsigned char header[lzmaHeaderSize + lzmaPropertiesSize];
    const Result<size_t> got = readFully(input, header, sizeof header);
    if (!got)
        return got.error();
    if (*got != sizeof header || littleEndian16(header + 2) != lzmaPropertiesSize)
        return damagedData();
    LzmaDecoder decoder;
    RETURN_IF_ERROR(decoder.start(member, header + lzmaHeaderSize));
    const Result<uint64_t> taken = decodeStream(decoder, member, input, output);
    if (!taken)
        return taken;
    return sizeof header + *taken;
}

Result<uint64_t> decodeXz(const CompressedMember &member, CompressedInput &input,
                          DecodedOutput &output)
{
    return decodeWith<XzDecoder>(member, input, output);
}
