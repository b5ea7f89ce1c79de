// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "builtin/bitreader.h"

#include <algorithm>

// Reads the next block; false, with the data ended, when the read failed.
bool BitReader::nextBlock()
{
    blockStart_ = loaded();
    const Result<size_t> got = input_.read(block_.get(), blockSize);
    next_ = block_.get();
    end_ = next_ + (got ? *got : 0);
    ended_ = !got || *got == 0;
    if (!got)
        failure_ = got.error();
    return got.ok();
}

void BitReader::fillSlowly()
{
    while (count_ <= 56) {
        if (next_ == end_ && !ended_)
            nextBlock();
        // Past the end, whole bytes of zeros, so that byte alignment holds.
        if (next_ == end_)
            padding_ += 8;
        else
            bits_ |= static_cast<uint64_t>(*next_++) << count_;
        count_ += 8;
    }
}

Result<void> BitReader::readBytes(unsigned char *to, size_t n)
{
    for (; n > 0 && count_ >= 8; --n) {
        if (padding_ + 8 > count_)
            return damagedData();
        *to++ = static_cast<unsigned char>(bits_);
        drop(8);
    }
    if (n == 0)
        return {};
    // The word-wide refill leaves copies of the bytes ahead above count_;
    // those bytes are now taken from the block instead.
    bits_ = 0;
    while (n > 0) {
        if (next_ == end_ && !ended_ && !nextBlock())
            return *failure_;
        if (next_ == end_)
            return damagedData();
        const size_t part = std::min(n, static_cast<size_t>(end_ - next_));
        std::memcpy(to, next_, part);
        next_ += part;
        to += part;
        n -= part;
    }
    return {};
}
