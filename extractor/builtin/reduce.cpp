// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "builtin/builtindecoders.h"

#include "base/zipformat.h"
#include "builtin/windowdecoder.h"

#include <algorithm>
#include <cstdint>

namespace {

constexpr unsigned char marker = 144;
constexpr size_t window = 4096;

// For each byte, the bytes that tend to follow it, coded by their index.
struct FollowerSets
{
    uint8_t size[256] = {};
    uint8_t follower[256][32];
    uint8_t indexBits[256] = {};
};

// False for a set of more than 32.
bool readFollowerSets(BitReader &bits, FollowerSets &sets)
{
    for (unsigned byte = 256; byte-- > 0;) {
        const unsigned size = bits.take(6);
        if (size > 32)
            return false;
        sets.size[byte] = static_cast<uint8_t>(size);
        for (unsigned i = 0; i < size; ++i)
            sets.follower[byte][i] = static_cast<uint8_t>(bits.take(8));
        // The fewest bits that hold size - 1, and never none.
        unsigned width = 1;
        while ((1u << width) < size)
            ++width;
        sets.indexBits[byte] = static_cast<uint8_t>(width);
    }
    return true;
}

class Expander : WindowDecoder
{
public:
    Expander(unsigned factor, CompressedInput &input, DecodedOutput &output, uint64_t size)
        : WindowDecoder(input, output, window, size), lengthBits_(8 - factor)
    {
    }

    Result<uint64_t> run() { return finish(decode()); }

private:
    Result<void> decode()
    {
        if (!readFollowerSets(bits_, sets_))
            return damagedData();
        while (out_.room() > 0) {
            RETURN_IF_ERROR(bits_.status());
            const Result<unsigned char> byte = nextByte();
            if (!byte)
                return byte.error();
            RETURN_IF_ERROR(expand(*byte));
        }
        return {};
    }

    // The first stage: a byte either literal or an index into the follower
    // set of the byte before it.
    Result<unsigned char> nextByte()
    {
        const unsigned setSize = sets_.size[last_];
        if (setSize != 0 && bits_.take(1) == 0) {
            const unsigned index = bits_.take(sets_.indexBits[last_]);
            if (index >= setSize)
                return damagedData();
            return last_ = sets_.follower[last_][index];
        }
        return last_ = static_cast<unsigned char>(bits_.take(8));
    }

    // The second stage: the marker byte introduces a copy, or stands for
    // itself when a zero follows.
    Result<void> expand(unsigned char byte)
    {
        switch (state_) {
        case State::plain:
            if (byte == marker)
                state_ = State::afterMarker;
            else
                return put(byte);
            return {};
        case State::afterMarker:
            if (byte == 0) {
                state_ = State::plain;
                return put(marker);
            }
            lengthAndDistance_ = byte;
            length_ = byte & ((1u << lengthBits_) - 1);
            state_ = length_ == (1u << lengthBits_) - 1 ? State::moreLength : State::distance;
            return {};
        case State::moreLength:
            length_ += byte;
            state_ = State::distance;
            return {};
        case State::distance:
            state_ = State::plain;
            return copy((lengthAndDistance_ >> lengthBits_) * 256 + byte + 1, length_ + 3);
        }
        return {};
    }

    Result<void> put(unsigned char byte)
    {
        RETURN_IF_ERROR(out_.reserve(1));
        out_.put(byte);
        return {};
    }

    Result<void> copy(size_t distance, size_t length)
    {
        // The last copy may reach past the declared size; the size wins.
        length = std::min<uint64_t>(length, out_.room());
        RETURN_IF_ERROR(out_.reserve(length));
        out_.copy(distance, length);
        return {};
    }

    enum class State { plain, afterMarker, moreLength, distance };

    const unsigned lengthBits_;
    FollowerSets sets_;
    unsigned char last_ = 0;
    State state_ = State::plain;
    unsigned lengthAndDistance_ = 0;
    size_t length_ = 0;
};

} // namespace

Result<uint64_t> decodeReduce(const CompressedMember &member, CompressedInput &input,
                              DecodedOutput &output)
{
    const unsigned factor = member.method - zip::reducedFactor1 + 1;
    return decodeToDeclaredSize(
        member, [&](uint64_t size) { return Expander(factor, input, output, size).run(); });
}
