// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#pragma once

#include "builtin/bitreader.h"
#include "builtin/outputwindow.h"

// What each built-in decoder works on: the member's bits, read without a
// check on every bit taken, and the window its output goes through.
class WindowDecoder
{
protected:
    WindowDecoder(CompressedInput &input, DecodedOutput &output, size_t history, uint64_t limit)
        : bits_(input), out_(output, history, limit)
    {
    }

    // Ends a member, whatever `decoded` says of it. A read that failed, or
    // bits taken past the end of the data, outweigh what the decoder made of
    // the zeros it was given instead; otherwise hands the rest of the output
    // to the file and gives how many compressed bytes the stream took.
    Result<uint64_t> finish(const Result<void> &decoded)
    {
        RETURN_IF_ERROR(bits_.status());
        RETURN_IF_ERROR(decoded);
        RETURN_IF_ERROR(out_.flush());
        return bits_.consumed();
    }

    BitReader bits_;
    OutputWindow out_;
};

// Decodes a member of a method without an end marker, whose declared size is
// the only end there is: `decode(size)` for a size above zero.
template <typename Decode>
Result<uint64_t> decodeToDeclaredSize(const CompressedMember &member, Decode decode)
{
    if (!member.uncompressedSize)
        return damagedData();
    if (*member.uncompressedSize == 0)
        return uint64_t{0};
    return decode(*member.uncompressedSize);
}
