// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "methods/streamdecoder.h"

#include "methods/scratch.h"

namespace {

constexpr size_t inputBlock = 64 * 1024;
constexpr size_t outputBlock = 256 * 1024;
static_assert(inputBlock + outputBlock <= scratchSize);

// A member this small decodes on the stack: a process that meets only such
// members (a tiny archive's) never maps the thread's scratch memory, which
// costs it more to map and unmap than its decoding does.
constexpr size_t smallBlock = 8 * 1024;

bool isSmall(const CompressedMember &member)
{
    return member.compressedSize && member.uncompressedSize &&
           *member.compressedSize <= smallBlock && *member.uncompressedSize <= smallBlock;
}

} // namespace

Result<uint64_t> decodeStream(StreamDecoder &decoder, const CompressedMember &member,
                              CompressedInput &input, DecodedOutput &output)
{
    unsigned char onStack[2 * smallBlock];
    const bool small = isSmall(member);
    const size_t inSize = small ? smallBlock : inputBlock;
    const size_t outSize = small ? smallBlock : outputBlock;
    unsigned char *const scratch = small ? onStack : threadScratch();
    if (!scratch)
        return outOfMemory();
    unsigned char *const in = scratch;
    unsigned char *const out = scratch + inSize;
    const uint64_t limit = member.uncompressedSize.value_or(UINT64_MAX);
    uint64_t taken = 0;
    uint64_t produced = 0;
    bool inputEnded = false;
    StreamWindows windows;
    for (;;) {
        if (windows.inLeft == 0 && !inputEnded) {
            const Result<size_t> got = input.read(in, inSize);
            if (!got)
                return got.error();
            inputEnded = *got == 0;
            windows.in = in;
            windows.inLeft = *got;
            taken += *got;
        }
        const size_t offered = windows.inLeft;
        windows.out = out;
        windows.outLeft = outSize;
        const Result<bool> ended = decoder.step(windows);
        if (!ended)
            return ended.error();
        const size_t made = outSize - windows.outLeft;
        if (made > limit - produced)
            return damagedData();
        RETURN_IF_ERROR(output.write(out, made));
        produced += made;
        const bool progressed = made > 0 || windows.inLeft < offered;
        if (*ended) {
            // Bytes after a stream that gives the whole declared size are
            // left alone; a stream that falls short is followed by another.
            if (!member.uncompressedSize || produced == *member.uncompressedSize)
                break;
            // An end that took and gave nothing would be met again and again.
            if (!progressed)
                return damagedData();
            RETURN_IF_ERROR(decoder.startNextStream());
            continue;
        }
        // Stuck with bytes still to give, or with nothing more to give: the
        // stream is cut short or makes no sense.
        if (!progressed && (inputEnded || windows.inLeft > 0))
            return damagedData();
    }
    if (member.uncompressedSize && produced != *member.uncompressedSize)
        return damagedData();
    return taken - windows.inLeft;
}

Result<size_t> readFully(CompressedInput &input, unsigned char *buffer, size_t size)
{
    size_t filled = 0;
    while (filled < size) {
        const Result<size_t> got = input.read(buffer + filled, size - filled);
        if (!got)
            return got.error();
        if (*got == 0)
            break;
        filled += *got;
    }
    return filled;
}
