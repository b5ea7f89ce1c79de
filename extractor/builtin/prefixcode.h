// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#pragma once

#include "builtin/bitreader.h"

#include <cstdint>
#include <vector>

// A decoding table for a set of prefix codes, looked up with the next bits of
// the stream instead of walking a tree bit by bit. Codes up to `rootBits`
// long resolve in one look-up, longer ones in a second table beside the first.
// What the Kraft sum of a set of code lengths says of the code they make.
enum class CodeSpace { complete, incomplete, overSubscribed };

class PrefixCode
{
public:
    static constexpr unsigned maxLength = 16;
    static constexpr unsigned maxRootBits = 10;
    static constexpr size_t maxSymbols = 320;

    struct Entry
    {
        uint16_t symbol; // or where the second table starts
        uint8_t length;  // bits the code takes, or the second table's index width
        uint8_t kind;
    };
    enum Kind : uint8_t { noCode, leaf, link };

    // Builds the table from each symbol's code length (0: not used) and its
    // code, most significant bit first, or without `codes` deflate's
    // canonical codes (RFC 1951, 3.2.2). Tells what the lengths make of the
    // code space; builds no table for an over-subscribed set, nor for given
    // codes that do not fill the space, which need not be a prefix code.
    CodeSpace build(const uint8_t *lengths, size_t count, unsigned rootBits,
                    const uint16_t *codes = nullptr);

    // Decodes one symbol from at least maxLength bits in `reader`, after a
    // refill; false when the bits spell no code.
    bool decode(BitReader &reader, unsigned &symbol) const
    {
        const Entry entry = view().lookUp(reader.peekAll());
        if (entry.kind != leaf)
            return false;
        reader.drop(entry.length);
        symbol = entry.symbol;
        return true;
    }

    // The table as plain values, for a decoder's innermost loop to keep in
    // registers.
    struct View
    {
        const Entry *table;
        unsigned rootBits;
        uint64_t rootMask;

        // The entry of the code that starts `bits`: a leaf, or noCode.
        Entry lookUp(uint64_t bits) const
        {
            const Entry entry = table[bits & rootMask];
            if (entry.kind != link)
                return entry;
            return table[entry.symbol + ((bits >> rootBits) & ((1u << entry.length) - 1))];
        }
    };
    View view() const { return View{table_.data(), rootBits_, rootMask_}; }

private:
    std::vector<Entry> table_;
    unsigned rootBits_ = 0;
    uint64_t rootMask_ = 0;
};
