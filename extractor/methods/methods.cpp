#include "methods/methods.h"

#include "base/zipformat.h"
#include "builtin/builtindecoders.h"
#include "methods/streamdecoder.h"

#include <string>

namespace {

constexpr size_t blockSize = 32 * 1024;

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
    case zip::stored:
        return copyStored(member, input, output);
    case zip::deflated:
        return inflateMember(member, input, output);
    case zip::bzip2:
        return decodeBzip2(member, input, output);
    case zip::lzma:
        return decodeLzma(member, input, output);
    case zip::zstandard:
        return decodeZstandard(member, input, output);
    case zip::xz:
        return decodeXz(member, input, output);
    case zip::ppmd:
        return decodePpmd(member, input, output);
    case zip::shrunk:
        return decodeShrink(member, input, output);
    case zip::reducedFactor1:
    case zip::reducedFactor2:
    case zip::reducedFactor3:
    case zip::reducedFactor4:
        return decodeReduce(member, input, output);
    case zip::imploded:
        return decodeImplode(member, input, output);
    case zip::deflate64:
        return decodeDeflate64(member, input, output);
    default:
        return Error{"unsupported compression method " + std::to_string(member.method)};
    }
}
