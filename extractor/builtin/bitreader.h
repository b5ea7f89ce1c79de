// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#pragma once

#include "base/decoder.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>

// Reads a member's compressed bytes as a stream of bits, lowest bit of each
// byte first, the order every ZIP method packs its codes in.
//
// Past the end of the data, and after a read that failed, the buffer is
// topped up with zero bits, so a decoder can always look 56 bits ahead and
// take bits without checking each time; status() tells when it has taken
// some of those, which means the stream ended early, or a read failed.
class BitReader
{
public:
    explicit BitReader(CompressedInput &input)
        : input_(input), block_(std::make_unique<unsigned char[]>(blockSize)), next_(block_.get()),
          end_(next_)
    {
    }

    // Makes at least 56 bits available to peek(), zeros past the end of the
    // data.
    void fill()
    {
        if (count_ > 56)
            return;
        if (end_ - next_ < 8)
            return fillSlowly();
        Hand hand = this->hand();
        refillWord(hand);
        setHand(hand);
    }

    // fill(), then status().
    Result<void> refill()
    {
        fill();
        return status();
    }

    // The error of a read that failed, or damagedData() once bits past the
    // end of the data were taken.
    Result<void> status() const
    {
        if (failure_)
            return *failure_;
        if (overrun())
            return damagedData();
        return {};
    }

    // The bits in hand, for a decoder's innermost loop to keep in locals,
    // where its stores into the output cannot force them back to memory.
    struct Hand
    {
        uint64_t bits;
        unsigned count;
        const unsigned char *next;
    };
    Hand hand() const { return Hand{bits_, count_, next_}; }
    void setHand(const Hand &hand)
    {
        bits_ = hand.bits;
        count_ = hand.count;
        next_ = hand.next;
    }
    // The end of the data read so far, up to which a hand may be refilled.
    const unsigned char *endOfBlock() const { return end_; }
    // Tops the hand up to at least 56 bits from the 8 bytes it must have ahead.
    static void refillWord(Hand &hand)
    {
        uint64_t word;
        std::memcpy(&word, hand.next, 8);
        hand.bits |= littleEndian(word) << hand.count;
        hand.next += (63 - hand.count) >> 3;
        hand.count |= 56;
    }

    uint32_t peek(unsigned n) const { return static_cast<uint32_t>(bits_ & ((1ull << n) - 1)); }
    uint64_t peekAll() const { return bits_; }
    void drop(unsigned n)
    {
        bits_ >>= n;
        count_ -= n;
    }

    // Takes n bits (n <= 32), the first as the lowest.
    uint32_t take(unsigned n)
    {
        if (count_ < n)
            fill();
        const uint32_t value = peek(n);
        drop(n);
        return value;
    }

    // Drops the bits left in the current byte.
    void alignToByte() { drop(count_ % 8); }

    // Copies n whole bytes after alignToByte(); the error of a failed read, or
    // damagedData() when the stream ends before them.
    Result<void> readBytes(unsigned char *to, size_t n);

    // How many bytes of the data the bits taken so far came from.
    uint64_t consumed() const { return (loaded() * 8 - (count_ - padding_) + 7) / 8; }

private:
    static constexpr size_t blockSize = 64 * 1024;

    bool overrun() const { return padding_ > count_; }

    static uint64_t littleEndian(uint64_t word)
    {
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
        return __builtin_bswap64(word);
#else
        return word;
#endif
    }

    uint64_t loaded() const
    {
        return blockStart_ + static_cast<uint64_t>(next_ - block_.get());
    }
    bool nextBlock();
    void fillSlowly();

    CompressedInput &input_;
    std::unique_ptr<unsigned char[]> block_;
    const unsigned char *next_;
    const unsigned char *end_;
    // Offset in the data of block_'s first byte.
    uint64_t blockStart_ = 0;
    uint64_t bits_ = 0;
    unsigned count_ = 0;
    // Zero bits added past the end of the data.
    uint64_t padding_ = 0;
    bool ended_ = false;
    std::optional<Error> failure_;
};
