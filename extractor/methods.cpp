#include "methods.h"

#include "builtindecoders.h"

#include <zlib.h>

#include <algorithm>
#include <memory>
#include <string>

namespace {

constexpr size_t blockSize = 32 * 1024;

enum Method : uint16_t {
    stored = 0,
    deflated = 8,
};

Result<uint64_t> copyStored(const CompressedMember &member, CompressedInput &input,
                            DecodedOutput &output)
{
    if (!member.compressedSize)
        return Error{"stored member of unknown size"};
    if (member.uncompressedSize && *member.uncompressedSize != *member.compressedSize)
        return damagedData();
    auto block = std::make_unique<unsigned char[]>(blockSize);
    uint64_t copied = 0;
    for (;;) {
        const Result<size_t> got = input.read(block.get(), blockSize);
        if (!got)
            return got.error();
        if (*got == 0)
            break;
        if (const Result<void> written = output.write(block.get(), *got); !written)
            return written.error();
        copied += *got;
    }
    if (copied != *member.compressedSize)
        return damagedData();
    return copied;
}

struct InflateEnd
{
    void operator()(z_stream *stream) const
    {
        inflateEnd(stream);
        delete stream;
    }
};

Result<uint64_t> inflateDeflated(const CompressedMember &member, CompressedInput &input,
                                 DecodedOutput &output)
{
    std::unique_ptr<z_stream, InflateEnd> stream(new z_stream{});
    // Negative window bits: raw deflate data, no zlib header or trailer.
    if (inflateInit2(stream.get(), -MAX_WBITS) != Z_OK) {
        delete stream.release();
        return Error{"out of memory"};
    }
    auto in = std::make_unique<unsigned char[]>(blockSize);
    auto out = std::make_unique<unsigned char[]>(blockSize);
    const uint64_t limit = member.uncompressedSize.value_or(UINT64_MAX);
    uint64_t produced = 0;
    int status = Z_OK;
    while (status != Z_STREAM_END) {
        if (stream->avail_in == 0) {
            const Result<size_t> got = input.read(in.get(), blockSize);
            if (!got)
                return got.error();
            if (*got == 0)
                return damagedData();
            stream->next_in = in.get();
            stream->avail_in = static_cast<uInt>(*got);
        }
        stream->next_out = out.get();
        stream->avail_out = blockSize;
        status = inflate(stream.get(), Z_NO_FLUSH);
        if (status != Z_OK && status != Z_STREAM_END)
            return damagedData();
        const size_t made = blockSize - stream->avail_out;
        if (made > limit - produced)
            return damagedData();
        if (const Result<void> written = output.write(out.get(), made); !written)
            return written.error();
        produced += made;
    }
    if (member.uncompressedSize && produced != *member.uncompressedSize)
        return damagedData();
    return static_cast<uint64_t>(stream->total_in);
}

} // namespace

Result<uint64_t> decodeMember(const CompressedMember &member, CompressedInput &input,
                              DecodedOutput &output)
{
    switch (member.method) {
    case stored:
        return copyStored(member, input, output);
    case deflated:
        return inflateDeflated(member, input, output);
    case 1:
        return decodeShrink(member, input, output);
    case 2:
    case 3:
    case 4:
    case 5:
        return decodeReduce(member, input, output);
    case 6:
        return decodeImplode(member, input, output);
    case 9:
        return decodeDeflate64(member, input, output);
    default:
        return Error{"unsupported compression method " + std::to_string(member.method)};
    }
}
