#pragma once

#include "bitreader.h"

#include <cstdint>
#include <vector>

// A decoding table for a set of prefix codes, looked up with the next bits of
// the stream instead of walking a tree bit by bit. Codes up to `rootBits`
// long resolve in one look-up, longer ones in a second table beside the first.
class PrefixCode
{
public:
    static constexpr unsigned maxLength = 16;
    static constexpr unsigned maxRootBits = 10;

    struct Entry
    {
        uint16_t symbol; // or where the second table starts
        uint8_t length;  // bits the code takes, or the second table's index width
        uint8_t kind;
    };
    enum Kind : uint8_t { noCode, leaf, link };

    // Builds the table from each symbol's code length (0: not used) and its
    // code, most significant bit first. The codes must form a prefix code.
    void build(const uint8_t *lengths, const uint16_t *codes, size_t count, unsigned rootBits);

    // Decodes one symbol from at least maxLength bits in `reader`, after a
    // refill; false when the bits spell no code.
    bool decode(BitReader &reader, unsigned &symbol) const
    {
        const uint64_t bits = reader.peekAll();
        Entry entry = table_[bits & rootMask_];
        if (entry.kind == link)
            entry = table_[entry.symbol + ((bits >> rootBits_) & ((1u << entry.length) - 1))];
        if (entry.kind != leaf)
            return false;
        reader.drop(entry.length);
        symbol = entry.symbol;
        return true;
    }

private:
    std::vector<Entry> table_;
    unsigned rootBits_ = 0;
    uint64_t rootMask_ = 0;
};

// What the Kraft sum of a set of code lengths says of the code they make.
enum class CodeSpace { complete, incomplete, overSubscribed };
CodeSpace codeSpaceOf(const uint8_t *lengths, size_t count);

// Deflate's canonical codes for the given lengths (RFC 1951, 3.2.2).
void canonicalCodes(const uint8_t *lengths, size_t count, uint16_t *codes);
