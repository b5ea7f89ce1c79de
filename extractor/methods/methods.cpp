#include "methods/methods.h"

#include "builtin/builtindecoders.h"
#include "methods/streamdecoder.h"

#include <string>

namespace {

constexpr size_t blockSize = 32 * 1024;

// The methods pkunzip decodes, by their numbers in the ZIP format.
enum Method : uint16_t {
    stored = 0,
    shrunk = 1,
    reducedFactor1 = 2,
    reducedFactor2 = 3,
    reducedFactor3 = 4,
    reducedFactor4 = 5,
    imploded = 6,
    deflated = 8,
    deflate64 = 9,
    bzip2 = 12,
    lzma = 14,
    zstandard = 93,
    xz = 95,
    ppmd = 98,
};

Result<uint64_t> copyStored(const CompressedMember &member, CompressedInput &input,
                            DecodedOutput &output)
{
    if (!member.compressedSize)
        return Error{"stored member of unknown size"};
    if (member.uncompressedSize && *member.uncompressedSize != *member.compressedSize)
        return damagedData();
    unsigned char block[blockSize];
    uint64_t copied = 0;
    for (;;) {
        const Result<size_t> got = input.read(block, blockSize);
        if (!got)
            return got.error();
        if (*got == 0)
            break;
        if (const Result<void> written = output.write(block, *got); !written)
            return written.error();
        copied += *got;
    }
    if (copied != *member.compressedSize)
        return damagedData();
    return copied;
}

} // namespace

Result<uint64_t> decodeMember(const CompressedMember &member, CompressedInput &input,
                              DecodedOutput &output)
{
    switch (member.method) {
    case stored:
        return copyStored(member, input, output);
    case deflated:
        return inflateMember(member, input, output);
    case bzip2:
        return decodeBzip2(member, input, output);
    case lzma:
        return decodeLzma(member, input, output);
    case zstandard:
        return decodeZstandard(member, input, output);
    case xz:
        return decodeXz(member, input, output);
    case ppmd:
        return decodePpmd(member, input, output);
    case shrunk:
        return decodeShrink(member, input, output);
    case reducedFactor1:
    case reducedFactor2:
    case reducedFactor3:
    case reducedFactor4:
        return decodeReduce(member, input, output);
    case imploded:
        return decodeImplode(member, input, output);
    case deflate64:
        return decodeDeflate64(member, input, output);
    default:
        return Error{"unsupported compression method " + std::to_string(member.method)};
    }
}
