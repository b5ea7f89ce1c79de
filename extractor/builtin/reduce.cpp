#include "builtin/builtindecoders.h"

#include "base/zipformat.h"
#include "builtin/bitreader.h"
#include "builtin/outputwindow.h"

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

Result<void> readFollowerSets(BitReader &bits, FollowerSets &sets)
{
    for (unsigned byte = 256; byte-- > 0;) {
        const Result<uint32_t> size = bits.take(6);
        if (!size)
            return size.error();
        if (*size > 32)
            return damagedData();
        sets.size[byte] = static_cast<uint8_t>(*size);
        for (uint32_t i = 0; i < *size; ++i) {
            const Result<uint32_t> follower = bits.take(8);
            if (!follower)
                return follower.error();
            sets.follower[byte][i] = static_cast<uint8_t>(*follower);
        }
        // The fewest bits that hold size - 1, and never none.
        unsigned width = 1;
        while ((1u << width) < *size)
            ++width;
        sets.indexBits[byte] = static_cast<uint8_t>(width);
    }
    return {};
}

class Expander
{
public:
    Expander(unsigned factor, CompressedInput &input, DecodedOutput &output, uint64_t size)
        : lengthBits_(8 - factor), bits_(input), out_(output, window, size)
    {
    }

    Result<uint64_t> run()
    {
        if (Result<void> read = readFollowerSets(bits_, sets_); !read)
            return read.error();
        while (out_.room() > 0) {
            const Result<uint32_t> byte = nextByte();
            if (!byte)
                return byte.error();
            if (Result<void> expanded = expand(static_cast<unsigned char>(*byte)); !expanded)
                return expanded.error();
        }
        if (Result<void> flushed = out_.flush(); !flushed)
            return flushed.error();
        return bits_.consumed();
    }

private:
    // The first stage: a byte either literal or an index into the follower
    // set of the byte before it.
    Result<uint32_t> nextByte()
    {
        const unsigned setSize = sets_.size[last_];
        if (setSize != 0) {
            const Result<uint32_t> literal = bits_.take(1);
            if (!literal)
                return literal;
            if (*literal == 0) {
                const Result<uint32_t> index = bits_.take(sets_.indexBits[last_]);
                if (!index)
                    return index;
                if (*index >= setSize)
                    return damagedData();
                return last_ = sets_.follower[last_][*index];
            }
        }
        const Result<uint32_t> byte = bits_.take(8);
        if (byte)
            last_ = static_cast<unsigned char>(*byte);
        return byte;
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
        if (Result<void> reserved = out_.reserve(1); !reserved)
            return reserved;
        out_.put(byte);
        return {};
    }

    Result<void> copy(size_t distance, size_t length)
    {
        // The last copy may reach past the declared size; the size wins.
        length = std::min<uint64_t>(length, out_.room());
        if (Result<void> reserved = out_.reserve(length); !reserved)
            return reserved;
        out_.copy(distance, length);
        return {};
    }

    enum class State { plain, afterMarker, moreLength, distance };

    const unsigned lengthBits_;
    BitReader bits_;
    OutputWindow out_;
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
    // Without an end marker the declared size is the only end there is.
    if (!member.uncompressedSize)
        return damagedData();
    if (*member.uncompressedSize == 0)
        return uint64_t{0};
    const unsigned factor = member.method - zip::reducedFactor1 + 1;
    return Expander(factor, input, output, *member.uncompressedSize).run();
}
