// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#pragma once

#include "base/decoder.h"

#include <cstdint>
#include <cstring>
#include <memory>

// The recent output of a decoder that copies earlier bytes, kept for its
// matches, and the bytes not yet handed to the member's file. The history
// starts as zeros: the methods that can reach before the first byte read
// zeros there.
class OutputWindow
{
public:
    // `history` is the farthest a match can reach back; at most `limit`
    // bytes are ever produced.
    OutputWindow(DecodedOutput &output, size_t history, uint64_t limit);

    uint64_t produced() const { return written_ + static_cast<uint64_t>(next_ - pending_); }
    uint64_t room() const { return limit_ - produced(); }

    // Makes space to put or copy `n` more bytes (n <= maxRun) without
    // checking, handing full chunks to the file; damagedData() when they
    // would take the output past its limit.
    Result<void> reserve(size_t n)
    {
        if (static_cast<size_t>(end_ - next_) >= n)
            return {};
        return flushAndSlide(n);
    }

    void put(unsigned char byte) { *next_++ = byte; }

    // Where the next `n` reserved bytes go, for the caller to fill.
    unsigned char *claim(size_t n)
    {
        unsigned char *at = next_;
        next_ += n;
        return at;
    }

    // Copies `length` bytes from `distance` back (1 <= distance <= history),
    // the copy overlapping itself when the distance is shorter.
    void copy(size_t distance, size_t length) { next_ = copy(next_, distance, length); }

    // The write position, for a decoder's innermost loop to keep in a local
    // and write through, directly and with copy(at, ...), short of
    // endOfRoom(); setNext() hands it back.
    unsigned char *next() const { return next_; }
    const unsigned char *endOfRoom() const { return end_; }
    void setNext(unsigned char *next) { next_ = next; }
    static unsigned char *copy(unsigned char *to, size_t distance, size_t length)
    {
        const unsigned char *from = to - distance;
        unsigned char *const end = to + length;
        if (distance >= 8) {
            // Whole words, possibly running up to 7 bytes past the end: the
            // buffer keeps that much slack.
            for (;;) {
                std::memcpy(to, from, 8);
                if (length <= 8)
                    return end;
                to += 8;
                from += 8;
                length -= 8;
            }
        }
        if (distance == 1) {
            std::memset(to, *from, length);
            return end;
        }
        while (to != end)
            *to++ = *from++;
        return end;
    }

    // Hands everything produced so far to the file.
    Result<void> flush();

    static constexpr size_t maxRun = 65538;

private:
    Result<void> flushAndSlide(size_t wanted);
    void setEnd();

    DecodedOutput &output_;
    const size_t history_;
    const uint64_t limit_;
    std::unique_ptr<unsigned char[]> buffer_;
    unsigned char *next_;
    unsigned char *pending_;
    // The end of the buffer, or sooner the limit.
    unsigned char *end_;
    uint64_t written_ = 0;
};
