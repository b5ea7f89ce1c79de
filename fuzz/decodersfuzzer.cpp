// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
// Feeds pkunzip's own decoders raw streams: the first byte picks the method
// (and Implode's flags), the next two the declared size, the rest is the
// stream, handed over in pieces. Whatever the stream, a decoder writes no
// more than the declared size and, when it succeeds, exactly that.
#include "base/zipformat.h"
#include "methods/methods.h"

#include <algorithm>
#include <cstdlib>

namespace {

constexpr uint16_t eightK = zip::implodeLargeDictionaryFlag;
constexpr uint16_t threeTrees = zip::implodeLiteralTreeFlag;
constexpr uint16_t methodsAndFlags[][2] = {
    {zip::shrunk, 0},         {zip::reducedFactor1, 0},    {zip::reducedFactor2, 0},
    {zip::reducedFactor3, 0}, {zip::reducedFactor4, 0},    {zip::imploded, 0},
    {zip::imploded, eightK},  {zip::imploded, threeTrees}, {zip::imploded, eightK | threeTrees},
    {zip::deflate64, 0}};

class SliceInput : public CompressedInput
{
public:
    SliceInput(const uint8_t *data, size_t size) : data_(data), left_(size) {}

    Result<size_t> read(void *buffer, size_t size) override
    {
        const size_t part = std::min({size, left_, size_t{4093}});
        std::copy_n(data_, part, static_cast<uint8_t *>(buffer));
        data_ += part;
        left_ -= part;
        return part;
    }

private:
    const uint8_t *data_;
    size_t left_;
};

struct CountingOutput : DecodedOutput
{
    Result<void> write(const unsigned char *, size_t size) override
    {
        written += size;
        return {};
    }
    uint64_t written = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 3)
        return 0;
    CompressedMember member;
    member.method = methodsAndFlags[data[0] % std::size(methodsAndFlags)][0];
    member.flags = methodsAndFlags[data[0] % std::size(methodsAndFlags)][1];
    // Deflate64, or the top bit of the first byte, counts the size in 64s, so
    // a short stream can declare a long output.
    const bool inSixtyFours = member.method == zip::deflate64 || data[0] >= 0x80;
    const uint64_t declared = (data[1] | data[2] << 8) << (inSixtyFours ? 6 : 0);
    member.uncompressedSize = declared;
    member.compressedSize = size - 3;
    SliceInput input(data + 3, size - 3);
    CountingOutput output;
    const Result<uint64_t> consumed = decodeMember(member, input, output);
    if (output.written > declared || (consumed && output.written != declared) ||
        (consumed && *consumed > size - 3))
        std::abort();
    return 0;
}
