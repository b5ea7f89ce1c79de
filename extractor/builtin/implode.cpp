// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "builtin/builtindecoders.h"

#include "base/zipformat.h"
#include "builtin/prefixcode.h"
#include "builtin/windowdecoder.h"

#include <algorithm>
#include <cstdint>

namespace {

constexpr unsigned rootBits = 9;

// The codes a tree's lengths stand for, as the format defines them: the
// longest codes get the lowest values, and among equal lengths the later
// symbol the lower value.
void shannonFanoCodes(const uint8_t *lengths, size_t count, uint16_t *codes)
{
    uint16_t order[256];
    for (size_t i = 0; i < count; ++i)
        order[i] = static_cast<uint16_t>(i);
    std::stable_sort(order, order + count,
                     [&](uint16_t a, uint16_t b) { return lengths[a] < lengths[b]; });
    uint32_t code = 0;
    uint32_t increment = 0;
    unsigned lastLength = 0;
    for (size_t i = count; i-- > 0;) {
        const unsigned length = lengths[order[i]];
        code += increment;
        if (length != lastLength) {
            lastLength = length;
            increment = 1u << (16 - length);
        }
        codes[order[i]] = static_cast<uint16_t>(code >> (16 - length));
    }
}

// A tree is stored as its byte count less one, then bytes each giving a run
// of symbols (high nibble plus one) of one code length (low nibble plus one).
Result<void> readTree(BitReader &bits, size_t count, PrefixCode &tree)
{
    const unsigned size = bits.take(8);
    uint8_t lengths[256];
    size_t filled = 0;
    for (unsigned i = 0; i <= size; ++i) {
        const unsigned run = bits.take(8);
        const size_t times = (run >> 4) + 1;
        if (times > count - filled)
            return damagedData();
        std::fill(lengths + filled, lengths + filled + times, (run & 15) + 1);
        filled += times;
    }
    if (filled != count)
        return damagedData();
    uint16_t codes[256];
    shannonFanoCodes(lengths, count, codes);
    if (tree.build(lengths, count, rootBits, codes) != CodeSpace::complete)
        return damagedData();
    return {};
}

// A tree's codes are complete: every run of bits spells one.
unsigned decodeWith(const PrefixCode &tree, BitReader &bits)
{
    bits.fill();
    unsigned symbol = 0;
    tree.decode(bits, symbol);
    return symbol;
}

class Exploder : WindowDecoder
{
public:
    Exploder(uint16_t flags, CompressedInput &input, DecodedOutput &output, uint64_t size)
        : WindowDecoder(input, output, size_t{64} << lowDistanceBits(flags), size),
          hasLiteralTree_((flags & zip::implodeLiteralTreeFlag) != 0),
          lowDistanceBits_(lowDistanceBits(flags)), minimumMatch_(hasLiteralTree_ ? 3 : 2)
    {
    }

    Result<uint64_t> run() { return finish(decode()); }

private:
    static unsigned lowDistanceBits(uint16_t flags)
    {
        return (flags & zip::implodeLargeDictionaryFlag) != 0 ? 7 : 6;
    }

    Result<void> decode()
    {
        if (hasLiteralTree_)
            RETURN_IF_ERROR(readTree(bits_, 256, literals_));
        RETURN_IF_ERROR(readTree(bits_, 64, lengths_));
        RETURN_IF_ERROR(readTree(bits_, 64, distances_));
        while (out_.room() > 0) {
            RETURN_IF_ERROR(bits_.status());
            RETURN_IF_ERROR(bits_.take(1) ? literal() : match());
        }
        return {};
    }

    Result<void> literal()
    {
        const unsigned byte = hasLiteralTree_ ? decodeWith(literals_, bits_) : bits_.take(8);
        RETURN_IF_ERROR(out_.reserve(1));
        out_.put(static_cast<unsigned char>(byte));
        return {};
    }

    Result<void> match()
    {
        const unsigned low = bits_.take(lowDistanceBits_);
        const unsigned high = decodeWith(distances_, bits_);
        unsigned length = decodeWith(lengths_, bits_);
        if (length == 63)
            length += bits_.take(8);
        const size_t distance = (high << lowDistanceBits_ | low) + 1;
        // The last match may reach past the declared size; the size wins.
        const size_t count = std::min<uint64_t>(length + minimumMatch_, out_.room());
        RETURN_IF_ERROR(out_.reserve(count));
        out_.copy(distance, count);
        return {};
    }

    const bool hasLiteralTree_;
    const unsigned lowDistanceBits_;
    const unsigned minimumMatch_;
    PrefixCode literals_;
    PrefixCode lengths_;
    PrefixCode distances_;
};

} // namespace

Result<uint64_t> decodeImplode(const CompressedMember &member, CompressedInput &input,
                               DecodedOutput &output)
{
    return decodeToDeclaredSize(
        member, [&](uint64_t size) { return Exploder(member.flags, input, output, size).run(); });
}
