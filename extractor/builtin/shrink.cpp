// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "builtin/builtindecoders.h"

#include "builtin/windowdecoder.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>

namespace {

constexpr unsigned firstCodeSize = 9;
constexpr unsigned lastCodeSize = 13;
constexpr unsigned codeCount = 1u << lastCodeSize;
constexpr unsigned control = 256;
constexpr unsigned firstFreeCode = 257;
constexpr unsigned growCodeSize = 1;
constexpr unsigned partialClear = 2;

// The string table: each code in use beyond the bytes stands for the string
// of its prefix code followed by one byte.
//
// It counts the codes in use that extend each code and lists the codes that
// may be leaves (extended by none), so that a partial clear costs as much as
// the codes it frees rather than a look at the whole table: a stream of
// little but clears takes no longer than any other.
class StringTable
{
public:
    bool isFull() const { return nextFree_ == codeCount; }

    // Makes the next free code: the string of `prefix` followed by `last`.
    // The prefix may be a code that a partial clear has just freed; the new
    // code then stands for whatever string that code is made again.
    unsigned add(unsigned prefix, unsigned char last)
    {
        const unsigned code = nextFree_;
        prefix_[code] = static_cast<uint16_t>(prefix);
        last_[code] = last;
        used_[code / 64] |= bitOf(code);
        ++extensions_[prefix];
        mayBeLeaves_[listed_++] = static_cast<uint16_t>(code);
        nextFree_ = freeCodeFrom(code + 1);
        return code;
    }

    void setLast(unsigned code, unsigned char last) { last_[code] = last; }

    // Writes the string of `code` backwards from `end`; nothing when the
    // string passes through a code not in use or runs in a loop, which only
    // damaged data makes.
    unsigned char *spell(unsigned code, unsigned char *end) const
    {
        unsigned char *at = end;
        for (unsigned steps = 0; code >= control; ++steps) {
            if (!inUse(code) || steps == codeCount - control)
                return nullptr;
            *--at = last_[code];
            code = prefix_[code];
        }
        *--at = static_cast<unsigned char>(code);
        return at;
    }

    // Frees every code that no other code in use extends; the freed codes
    // are given out again lowest first.
    void clearLeaves()
    {
        const unsigned leaves = keepLeaves();
        // Each code freed lists at most its prefix, so the new list never
        // overtakes the leaves still to be freed.
        listed_ = 0;
        for (unsigned i = 0; i < leaves; ++i)
            free(mayBeLeaves_[i]);
    }

private:
    static uint64_t bitOf(unsigned code) { return uint64_t{1} << code % 64; }
    bool inUse(unsigned code) const { return used_[code / 64] & bitOf(code); }

    // Narrows the list to the codes still leaves: a code is listed when it
    // is made and when a clear frees the last code extending it, and may
    // have been extended since.
    unsigned keepLeaves()
    {
        unsigned kept = 0;
        for (unsigned i = 0; i < listed_; ++i)
            if (extensions_[mayBeLeaves_[i]] == 0)
                mayBeLeaves_[kept++] = mayBeLeaves_[i];
        return kept;
    }

    void free(unsigned code)
    {
        used_[code / 64] &= ~bitOf(code);
        nextFree_ = std::min(nextFree_, code);
        const unsigned prefix = prefix_[code];
        if (--extensions_[prefix] == 0 && prefix >= firstFreeCode && inUse(prefix))
            mayBeLeaves_[listed_++] = static_cast<uint16_t>(prefix);
    }

    // The lowest code from `from` on that is not in use; codeCount when all are.
    unsigned freeCodeFrom(unsigned from) const
    {
        constexpr unsigned words = codeCount / 64;
        unsigned word = from / 64;
        if (word == words)
            return codeCount;
        uint64_t free = ~used_[word] & ~uint64_t{0} << from % 64;
        while (free == 0) {
            if (++word == words)
                return codeCount;
            free = ~used_[word];
        }
        return word * 64 + static_cast<unsigned>(__builtin_ctzll(free));
    }

    uint16_t prefix_[codeCount] = {};
    unsigned char last_[codeCount] = {};
    uint64_t used_[codeCount / 64] = {};
    uint16_t extensions_[codeCount] = {};
    // Every leaf in use, and other codes in use, each at most once.
    uint16_t mayBeLeaves_[codeCount] = {};
    unsigned listed_ = 0;
    unsigned nextFree_ = firstFreeCode;
};

class Unshrinker : WindowDecoder
{
public:
    Unshrinker(CompressedInput &input, DecodedOutput &output, uint64_t size)
        : WindowDecoder(input, output, 0, size), table_(std::make_unique<StringTable>())
    {
    }

    Result<uint64_t> run() { return finish(decode()); }

private:
    Result<void> decode()
    {
        while (out_.room() > 0) {
            RETURN_IF_ERROR(bits_.status());
            const unsigned code = bits_.take(codeSize_);
            RETURN_IF_ERROR(code == control ? obeyControl() : expand(code));
        }
        return {};
    }

    Result<void> obeyControl()
    {
        const unsigned what = bits_.take(codeSize_);
        if (what == growCodeSize && codeSize_ < lastCodeSize)
            ++codeSize_;
        else if (what == partialClear)
            table_->clearLeaves();
        else
            return damagedData();
        return {};
    }

    Result<void> expand(unsigned code)
    {
        unsigned char *const end = spelling_ + codeCount;
        if (previous_ == none) {
            if (code >= control)
                return damagedData();
            previous_ = code;
            previousFirst_ = static_cast<unsigned char>(code);
            *(end - 1) = previousFirst_;
            return write(end - 1, end);
        }
        // Each code makes an entry: the previous string followed by the
        // first byte of this one. The compressor made it before writing this
        // code, whose string may therefore run through it; such a string
        // starts with the previous one, so the entry is made first, ending in
        // the previous string's first byte, and set right once this string
        // is spelled.
        const bool making = !table_->isFull();
        const unsigned made = making ? table_->add(previous_, previousFirst_) : 0;
        const unsigned char *start = table_->spell(code, end);
        if (start == nullptr)
            return damagedData();
        if (making)
            table_->setLast(made, *start);
        previous_ = code;
        previousFirst_ = *start;
        return write(start, end);
    }

    Result<void> write(const unsigned char *start, const unsigned char *end)
    {
        const size_t size = std::min<uint64_t>(static_cast<size_t>(end - start), out_.room());
        RETURN_IF_ERROR(out_.reserve(size));
        std::memcpy(out_.claim(size), start, size);
        return {};
    }

    static constexpr unsigned none = codeCount;

    std::unique_ptr<StringTable> table_;
    unsigned codeSize_ = firstCodeSize;
    unsigned previous_ = none;
    unsigned char previousFirst_ = 0;
    unsigned char spelling_[codeCount];
};

} // namespace

Result<uint64_t> decodeShrink(const CompressedMember &member, CompressedInput &input,
                              DecodedOutput &output)
{
    return decodeToDeclaredSize(
        member, [&](uint64_t size) { return Unshrinker(input, output, size).run(); });
}
