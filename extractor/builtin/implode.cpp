#include "builtin/builtindecoders.h"

#include "base/zipformat.h"
#include "builtin/bitreader.h"
#include "builtin/outputwindow.h"
#include "builtin/prefixcode.h"

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
    const Result<uint32_t> size = bits.take(8);
    if (!size)
        return size.error();
    uint8_t lengths[256];
    size_t filled = 0;
    for (uint32_t i = 0; i <= *size; ++i) {
        const Result<uint32_t> run = bits.take(8);
        if (!run)
            return run.error();
        const size_t times = (*run >> 4) + 1;
        if (times > count - filled)
            return damagedData();
        std::fill(lengths + filled, lengths + filled + times, (*run & 15) + 1);
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

Result<uint32_t> decodeWith(const PrefixCode &tree, BitReader &bits)
{
    if (Result<void> filled = bits.refill(); !filled)
        return filled.error();
    unsigned symbol;
    if (!tree.decode(bits, symbol) || bits.overrun())
        return damagedData();
    return symbol;
}

class Exploder
{
public:
    Exploder(uint16_t flags, CompressedInput &input, DecodedOutput &output, uint64_t size)
        : hasLiteralTree_((flags & zip::implodeLiteralTreeFlag) != 0),
          lowDistanceBits_((flags & zip::implodeLargeDictionaryFlag) != 0 ? 7 : 6),
          minimumMatch_(hasLiteralTree_ ? 3 : 2), bits_(input),
          out_(output, size_t{64} << lowDistanceBits_, size)
    {
    }

    Result<uint64_t> run()
    {
        if (hasLiteralTree_)
            if (Result<void> read = readTree(bits_, 256, literals_); !read)
                return read.error();
        if (Result<void> read = readTree(bits_, 64, lengths_); !read)
            return read.error();
        if (Result<void> read = readTree(bits_, 64, distances_); !read)
            return read.error();
        while (out_.room() > 0) {
            const Result<uint32_t> isLiteral = bits_.take(1);
            if (!isLiteral)
                return isLiteral.error();
            Result<void> step = *isLiteral ? literal() : match();
            if (!step)
                return step.error();
        }
        if (Result<void> flushed = out_.flush(); !flushed)
            return flushed.error();
        return bits_.consumed();
    }

private:
    Result<void> literal()
    {
        const Result<uint32_t> byte =
            hasLiteralTree_ ? decodeWith(literals_, bits_) : bits_.take(8);
        if (!byte)
            return byte.error();
        if (Result<void> reserved = out_.reserve(1); !reserved)
            return reserved;
        out_.put(static_cast<unsigned char>(*byte));
        return {};
    }

    Result<void> match()
    {
        const Result<uint32_t> low = bits_.take(lowDistanceBits_);
        if (!low)
            return low.error();
        const Result<uint32_t> high = decodeWith(distances_, bits_);
        if (!high)
            return high.error();
        Result<uint32_t> length = decodeWith(lengths_, bits_);
        if (!length)
            return length.error();
        if (*length == 63) {
            const Result<uint32_t> more = bits_.take(8);
            if (!more)
                return more.error();
            *length += *more;
        }
        const size_t distance = (*high << lowDistanceBits_ | *low) + 1;
        // The last match may reach past the declared size; the size wins.
        const size_t count = std::min<uint64_t>(*length + minimumMatch_, out_.room());
        if (Result<void> reserved = out_.reserve(count); !reserved)
            return reserved;
        out_.copy(distance, count);
        return {};
    }

    const bool hasLiteralTree_;
    const unsigned lowDistanceBits_;
    const unsigned minimumMatch_;
    BitReader bits_;
    OutputWindow out_;
    PrefixCode literals_;
    PrefixCode lengths_;
    PrefixCode distances_;
};

} // namespace

Result<uint64_t> decodeImplode(const CompressedMember &member, CompressedInput &input,
                               DecodedOutput &output)
{
    // Without an end marker the declared size is the only end there is.
    if (!member.uncompressedSize)
        return damagedData();
    if (*member.uncompressedSize == 0)
        return uint64_t{0};
    return Exploder(member.flags, input, output, *member.uncompressedSize).run();
}
