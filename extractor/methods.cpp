#include "methods.h"

#include "streamdecoder.h"

#include <string>

namespace {

constexpr size_t blockSize = 32 * 1024;

// The methods pkunzip decodes, by their numbers in the ZIP format.
enum Method : uint16_t {
    stored = 0,
    deflated = 8,
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
    // Shrink (1), Reduce (2-5), Implode (6) and Deflate64 (9) have no
    // library to decode them and are not written yet.
    default:
        return Error{"unsupported compression method " + std::to_string(member.method)};
    }
}
