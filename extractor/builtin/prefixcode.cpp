// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "builtin/prefixcode.h"

#include <algorithm>

namespace {

// The code's bits in the order the stream delivers them, first bit lowest.
inline unsigned reversed(unsigned code, unsigned length)
{
    code = (code & 0x5555) << 1 | (code >> 1 & 0x5555);
    code = (code & 0x3333) << 2 | (code >> 2 & 0x3333);
    code = (code & 0x0f0f) << 4 | (code >> 4 & 0x0f0f);
    code = (code & 0x00ff) << 8 | (code >> 8 & 0x00ff);
    return code >> (16 - length);
}

} // namespace

CodeSpace PrefixCode::build(const uint8_t *lengths, size_t count, unsigned rootBits,
                            const uint16_t *codes)
{
    unsigned perLength[maxLength + 1] = {};
    for (size_t i = 0; i < count; ++i)
        ++perLength[lengths[i]];
    perLength[0] = 0;
    // The Kraft sum, and the first canonical code of each length.
    int64_t left = 1;
    unsigned nextCode[maxLength + 1] = {};
    for (unsigned length = 1, code = 0; length <= maxLength; ++length) {
        left = left * 2 - perLength[length];
        if (left < 0)
            return CodeSpace::overSubscribed;
        code = (code + perLength[length - 1]) << 1;
        nextCode[length] = code;
    }
    const CodeSpace space = left == 0 ? CodeSpace::complete : CodeSpace::incomplete;
    if (space != CodeSpace::complete && codes != nullptr)
        return space;

    rootBits_ = rootBits;
    rootMask_ = (1u << rootBits) - 1;
    const size_t rootSize = size_t{1} << rootBits;
    // Each code as the stream delivers it; the longest code behind each root
    // index decides the width of its second table.
    uint16_t streamCodes[maxSymbols];
    uint8_t longest[size_t{1} << maxRootBits];
    uint16_t linked[size_t{1} << maxRootBits];
    size_t linkCount = 0;
    std::fill(longest, longest + rootSize, 0);
    for (size_t i = 0; i < count; ++i) {
        const unsigned length = lengths[i];
        if (length == 0)
            continue;
        const unsigned code = codes != nullptr ? codes[i] : nextCode[length]++;
        streamCodes[i] = static_cast<uint16_t>(reversed(code, length));
        if (length > rootBits) {
            const unsigned index = streamCodes[i] & rootMask_;
            if (longest[index] == 0)
                linked[linkCount++] = static_cast<uint16_t>(index);
            longest[index] = std::max<uint8_t>(longest[index], static_cast<uint8_t>(length));
        }
    }
    size_t size = rootSize;
    for (size_t i = 0; i < linkCount; ++i)
        size += size_t{1} << (longest[linked[i]] - rootBits);
    // Grown, never shrunk: a stream builds many tables of about one size.
    if (table_.size() < size)
        table_.resize(size);
    // A complete code leaves no entry unwritten.
    if (space != CodeSpace::complete)
        std::fill(table_.begin(), table_.begin() + static_cast<ptrdiff_t>(size),
                  Entry{0, 0, noCode});
    for (size_t i = 0, next = rootSize; i < linkCount; ++i) {
        const unsigned width = longest[linked[i]] - rootBits;
        table_[linked[i]] = Entry{static_cast<uint16_t>(next), static_cast<uint8_t>(width), link};
        next += size_t{1} << width;
    }
    for (size_t i = 0; i < count; ++i) {
        const unsigned length = lengths[i];
        if (length == 0)
            continue;
        const unsigned code = streamCodes[i];
        const Entry entry{static_cast<uint16_t>(i), static_cast<uint8_t>(length), leaf};
        if (length <= rootBits) {
            for (size_t at = code; at < rootSize; at += size_t{1} << length)
                table_[at] = entry;
            continue;
        }
        const Entry &second = table_[code & rootMask_];
        for (size_t at = code >> rootBits; at < (size_t{1} << second.length);
             at += size_t{1} << (length - rootBits))
            table_[second.symbol + at] = entry;
    }
    return space;
}
