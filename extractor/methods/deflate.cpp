// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "methods/deflate.h"

#include "methods/scratch.h"
#include "methods/streamdecoder.h"

#include <libdeflate.h>
#include <zlib.h>

#include <memory>

namespace {

// libdeflate decodes a member whole, faster than zlib's stream once its
// decompressor is set up. A process that meets only a few small members, as
// most of the tiny archives a batch is made of, is quicker never setting it
// up; one that meets a large member, or many, soon gains.
constexpr uint64_t wholeFloor = 16 * 1024;
constexpr unsigned fewMembers = 4;

bool decodeWholePays(uint64_t decodedSize)
{
    thread_local unsigned smallOnes = 0;
    return decodedSize >= wholeFloor || ++smallOnes > fewMembers;
}

struct FreeDecompressor
{
    void operator()(libdeflate_decompressor *decompressor) const
    {
        libdeflate_free_decompressor(decompressor);
    }
};

libdeflate_decompressor *threadDecompressor()
{
    thread_local std::unique_ptr<libdeflate_decompressor, FreeDecompressor> decompressor(
        libdeflate_alloc_decompressor());
    return decompressor.get();
}

Result<uint64_t> inflateWhole(size_t compressedSize, size_t decodedSize, CompressedInput &input,
                              DecodedOutput &output)
{
    libdeflate_decompressor *const decompressor = threadDecompressor();
    unsigned char *const scratch = threadScratch(compressedSize + decodedSize);
    if (!decompressor || !scratch)
        return outOfMemory();
    unsigned char *const decoded = scratch;
    unsigned char *const compressed = scratch + decodedSize;
    const Result<size_t> got = readFully(input, compressed, compressedSize);
    if (!got)
        return got.error();
    size_t taken = 0;
    size_t made = 0;
    // A stream that would run past the declared size fails here with
    // LIBDEFLATE_INSUFFICIENT_SPACE, one cut short with LIBDEFLATE_BAD_DATA.
    if (libdeflate_deflate_decompress_ex(decompressor, compressed, *got, decoded, decodedSize,
                                         &taken, &made) != LIBDEFLATE_SUCCESS ||
        made != decodedSize)
        return damagedData();
    RETURN_IF_ERROR(output.write(decoded, made));
    return taken;
}

struct InflateEnd
{
    void operator()(z_stream *stream) const
    {
        inflateEnd(stream);
        delete stream;
    }
};

class ZlibInflater : public StreamDecoder
{
public:
    Result<void> start()
    {
        auto stream = std::make_unique<z_stream>();
        // Negative window bits: raw deflate data, no zlib header or trailer.
        if (inflateInit2(stream.get(), -MAX_WBITS) != Z_OK)
            return outOfMemory();
        stream_.reset(stream.release());
        return {};
    }

    Result<bool> step(StreamWindows &windows) override
    {
        // zlib counts in uInt; blocks here are far below its limit.
        stream_->next_in = const_cast<unsigned char *>(windows.in);
        stream_->avail_in = static_cast<uInt>(windows.inLeft);
        stream_->next_out = windows.out;
        stream_->avail_out = static_cast<uInt>(windows.outLeft);
        const int status = inflate(stream_.get(), Z_NO_FLUSH);
        windows.in = stream_->next_in;
        windows.inLeft = stream_->avail_in;
        windows.out = stream_->next_out;
        windows.outLeft = stream_->avail_out;
        if (status == Z_STREAM_END)
            return true;
        if (status == Z_OK || status == Z_BUF_ERROR)
            return false;
        if (status == Z_MEM_ERROR)
            return outOfMemory();
        return damagedData();
    }

private:
    std::unique_ptr<z_stream, InflateEnd> stream_;
};

} // namespace

Result<uint64_t> inflateMemberWithin(const CompressedMember &member, CompressedInput &input,
                                     DecodedOutput &output, size_t wholeLimit)
{
    if (member.compressedSize && member.uncompressedSize && *member.compressedSize <= wholeLimit &&
        *member.uncompressedSize <= wholeLimit - *member.compressedSize &&
        decodeWholePays(*member.uncompressedSize))
        return inflateWhole(*member.compressedSize, *member.uncompressedSize, input, output);
    return decodeWith<ZlibInflater>(member, input, output);
}

Result<uint64_t> inflateMember(const CompressedMember &member, CompressedInput &input,
                               DecodedOutput &output)
{
    return inflateMemberWithin(member, input, output, scratchSize);
}
