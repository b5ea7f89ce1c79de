// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
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
        return Error{"stored member of unknown size", ErrorKind::unsupported};
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
        RETURN_IF_ERROR(output.write(block, *got));
        copied += *got;
    }
    if (copied != *member.compressedSize)
        return damagedData();
    return copied;
}

const struct
{
    uint16_t method;
    Decoder *decode;
} decoders[] = {
    {zip::stored, copyStored},
    {zip::shrunk, decodeShrink},
    {zip::reducedFactor1, decodeReduce},
    {zip::reducedFactor2, decodeReduce},
    {zip::reducedFactor3, decodeReduce},
    {zip::reducedFactor4, decodeReduce},
    {zip::imploded, decodeImplode},
    {zip::deflated, inflateMember},
    {zip::deflate64, decodeDeflate64},
    {zip::bzip2, decodeBzip2},
    {zip::lzma, decodeLzma},
    {zip::zstandard, decodeZstandard},
    {zip::xz, decodeXz},
    {zip::ppmd, decodePpmd},
};

} // namespace

Result<uint64_t> decodeMember(const CompressedMember &member, CompressedInput &input,
                              DecodedOutput &output)
{
    for (const auto &[method, decode] : decoders)
        if (method == member.method)
            return decode(member, input, output);
    return Error{"unsupported compression method " + std::to_string(member.method),
                 ErrorKind::unsupported};
}
