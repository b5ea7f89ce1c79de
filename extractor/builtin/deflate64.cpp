// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "builtin/builtindecoders.h"

#include "builtin/prefixcode.h"
#include "builtin/windowdecoder.h"

#include <algorithm>
#include <cstdint>

namespace {

constexpr size_t window = 64 * 1024;
constexpr unsigned literalRootBits = 9;
constexpr unsigned distanceRootBits = 6;
constexpr unsigned endOfBlock = 256;
constexpr size_t literalCodes = 288;
constexpr size_t distanceCodes = 32;
// Symbols 286 and 287 take part in the fixed code but mean nothing.
constexpr size_t usableLiteralCodes = 286;

constexpr uint16_t lengthBase[] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                   31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 3};
constexpr uint8_t lengthExtra[] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                   2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 16};
constexpr uint16_t distanceBase[] = {1,    2,    3,    4,     5,     7,     9,     13,
                                     17,   25,   33,   49,    65,    97,    129,   193,
                                     257,  385,  513,  769,   1025,  1537,  2049,  3073,
                                     4097, 6145, 8193, 12289, 16385, 24577, 32769, 49153};
constexpr uint8_t distanceExtra[] = {0, 0, 0, 0, 1, 1, 2,  2,  3,  3,  4,  4,  5,  5,  6,  6,
                                     7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13, 14, 14};

class Inflater64 : WindowDecoder
{
public:
    Inflater64(CompressedInput &input, DecodedOutput &output, uint64_t limit)
        : WindowDecoder(input, output, window, limit)
    {
    }

    uint64_t produced() const { return out_.produced(); }

    Result<uint64_t> run() { return finish(decode()); }

private:
    Result<void> decode()
    {
        for (bool last = false; !last;) {
            const unsigned header = bits_.take(3);
            last = (header & 1) != 0;
            RETURN_IF_ERROR(decodeBlock(header >> 1));
        }
        return {};
    }

    Result<void> decodeBlock(uint32_t type)
    {
        switch (type) {
        case 0:
            return copyStoredBlock();
        case 1:
            if (!haveFixedCodes_)
                setFixedCodes();
            haveFixedCodes_ = true;
            return decodeCompressedBlock();
        case 2:
            haveFixedCodes_ = false;
            RETURN_IF_ERROR(readDynamicCodes());
            return decodeCompressedBlock();
        default:
            return damagedData();
        }
    }

    Result<void> copyStoredBlock()
    {
        bits_.alignToByte();
        const uint32_t sizes = bits_.take(32);
        const size_t size = sizes & 0xffff;
        if ((sizes >> 16) != (~sizes & 0xffff))
            return damagedData();
        RETURN_IF_ERROR(out_.reserve(size));
        return bits_.readBytes(out_.claim(size), size);
    }

    void setFixedCodes()
    {
        uint8_t lengths[literalCodes + distanceCodes];
        std::fill(lengths, lengths + 144, 8);
        std::fill(lengths + 144, lengths + 256, 9);
        std::fill(lengths + 256, lengths + 280, 7);
        std::fill(lengths + 280, lengths + literalCodes, 8);
        std::fill(lengths + literalCodes, lengths + literalCodes + distanceCodes, 5);
        // Both fixed codes are complete.
        buildCodes(lengths, literalCodes, lengths + literalCodes, distanceCodes);
    }

    // A code set may leave space unused only when it has a single code, of
    // one bit (RFC 1951 allows a lone distance code), or none.
    static bool usable(CodeSpace space, const uint8_t *lengths, size_t count)
    {
        return space == CodeSpace::complete ||
               (space == CodeSpace::incomplete &&
                std::count_if(lengths, lengths + count, [](uint8_t l) { return l != 0; }) <= 1);
    }

    bool buildCodes(const uint8_t *literalLengths, size_t literalCount,
                    const uint8_t *distanceLengths, size_t distanceCount)
    {
        return usable(literals_.build(literalLengths, literalCount, literalRootBits),
                      literalLengths, literalCount) &&
               usable(distances_.build(distanceLengths, distanceCount, distanceRootBits),
                      distanceLengths, distanceCount);
    }

    Result<void> readDynamicCodes()
    {
        const unsigned counts = bits_.take(14);
        const size_t literalCount = 257 + (counts & 31);
        const size_t distanceCount = 1 + ((counts >> 5) & 31);
        const size_t lengthCodeCount = 4 + (counts >> 10);
        if (literalCount > usableLiteralCodes)
            return damagedData();

        static constexpr uint8_t order[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                              11, 4,  12, 3, 13, 2, 14, 1, 15};
        uint8_t lengthCodeLengths[19] = {};
        for (size_t i = 0; i < lengthCodeCount; ++i)
            lengthCodeLengths[order[i]] = static_cast<uint8_t>(bits_.take(3));
        if (lengthCodes_.build(lengthCodeLengths, 19, 7) != CodeSpace::complete)
            return damagedData();

        uint8_t lengths[literalCodes + distanceCodes] = {};
        RETURN_IF_ERROR(readCodeLengths(lengths, literalCount + distanceCount));
        const uint8_t *distanceLengths = lengths + literalCount;
        if (lengths[endOfBlock] == 0 ||
            !buildCodes(lengths, literalCount, distanceLengths, distanceCount))
            return damagedData();
        return {};
    }

    Result<void> readCodeLengths(uint8_t *lengths, size_t count)
    {
        for (size_t i = 0; i < count;) {
            RETURN_IF_ERROR(bits_.refill());
            unsigned symbol;
            if (!lengthCodes_.decode(bits_, symbol))
                return damagedData();
            if (symbol < 16) {
                lengths[i++] = static_cast<uint8_t>(symbol);
                continue;
            }
            if (symbol == 16 && i == 0)
                return damagedData();
            const uint8_t repeated = symbol == 16 ? lengths[i - 1] : 0;
            const unsigned extraBits = symbol == 16 ? 2 : symbol == 17 ? 3 : 7;
            const unsigned least = symbol == 18 ? 11 : 3;
            const size_t times = least + bits_.take(extraBits);
            if (times > count - i)
                return damagedData();
            std::fill(lengths + i, lengths + i + times, repeated);
            i += times;
        }
        return bits_.status();
    }

    // Decodes symbols with the reader's and the window's state in locals
    // while the input holds two word refills and the window a longest run;
    // leaves the end of the block and anything amiss to the careful loop.
    Result<void> decodeQuickly()
    {
        BitReader::Hand in = bits_.hand();
        const unsigned char *const inEnd = bits_.endOfBlock();
        unsigned char *out = out_.next();
        unsigned char *const outStart = out;
        const unsigned char *const outEnd = out_.endOfRoom();
        const uint64_t producedBefore = out_.produced();
        const PrefixCode::View literals = literals_.view();
        const PrefixCode::View distances = distances_.view();
        while (inEnd - in.next >= 16 && outEnd - out >= ptrdiff_t{OutputWindow::maxRun}) {
            if (in.count <= 56)
                BitReader::refillWord(in);
            PrefixCode::Entry entry = literals.lookUp(in.bits);
            if (entry.kind != PrefixCode::leaf || entry.symbol == endOfBlock ||
                entry.symbol >= usableLiteralCodes)
                break;
            in.bits >>= entry.length;
            in.count -= entry.length;
            if (entry.symbol < 256) {
                *out++ = static_cast<unsigned char>(entry.symbol);
                continue;
            }
            const unsigned lengthCode = entry.symbol - 257;
            const size_t length =
                lengthBase[lengthCode] + (in.bits & ((1u << lengthExtra[lengthCode]) - 1));
            in.bits >>= lengthExtra[lengthCode];
            in.count -= lengthExtra[lengthCode];
            if (in.count <= 56)
                BitReader::refillWord(in);
            entry = distances.lookUp(in.bits);
            if (entry.kind != PrefixCode::leaf)
                return damagedData();
            in.bits >>= entry.length;
            in.count -= entry.length;
            const unsigned extra = distanceExtra[entry.symbol];
            const size_t distance = distanceBase[entry.symbol] + (in.bits & ((1u << extra) - 1));
            in.bits >>= extra;
            in.count -= extra;
            if (distance > producedBefore + static_cast<uint64_t>(out - outStart))
                return damagedData();
            out = OutputWindow::copy(out, distance, length);
        }
        bits_.setHand(in);
        out_.setNext(out);
        return {};
    }

    // One symbol at a time, every step checked, after decodeQuickly().
    Result<void> decodeCompressedBlock()
    {
        for (;;) {
            RETURN_IF_ERROR(decodeQuickly());
            // Bits past the end show at the next refill or at the block's end.
            RETURN_IF_ERROR(bits_.refill());
            unsigned symbol;
            if (!literals_.decode(bits_, symbol))
                return damagedData();
            if (symbol < 256) {
                RETURN_IF_ERROR(out_.reserve(1));
                out_.put(static_cast<unsigned char>(symbol));
                continue;
            }
            if (symbol == endOfBlock)
                return bits_.status();
            if (symbol >= usableLiteralCodes)
                return damagedData();
            const unsigned lengthCode = symbol - 257;
            const size_t length = lengthBase[lengthCode] + bits_.peek(lengthExtra[lengthCode]);
            bits_.drop(lengthExtra[lengthCode]);

            RETURN_IF_ERROR(bits_.refill());
            if (!distances_.decode(bits_, symbol))
                return damagedData();
            const size_t distance = distanceBase[symbol] + bits_.peek(distanceExtra[symbol]);
            bits_.drop(distanceExtra[symbol]);
            if (distance > out_.produced())
                return damagedData();
            RETURN_IF_ERROR(out_.reserve(length));
            out_.copy(distance, length);
        }
    }

    PrefixCode literals_;
    PrefixCode distances_;
    PrefixCode lengthCodes_;
    // Whether the codes set are the fixed ones, so a run of fixed blocks builds them once.
    bool haveFixedCodes_ = false;
};

} // namespace

Result<uint64_t> decodeDeflate64(const CompressedMember &member, CompressedInput &input,
                                 DecodedOutput &output)
{
    Inflater64 inflater(input, output, member.uncompressedSize.value_or(UINT64_MAX));
    Result<uint64_t> consumed = inflater.run();
    if (consumed && member.uncompressedSize && inflater.produced() != *member.uncompressedSize)
        return damagedData();
    return consumed;
}
