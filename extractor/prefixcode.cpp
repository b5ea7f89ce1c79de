#include "prefixcode.h"

#include <algorithm>

namespace {

unsigned reversed(unsigned code, unsigned length)
{
    unsigned result = 0;
    for (unsigned i = 0; i < length; ++i, code >>= 1)
        result = result << 1 | (code & 1);
    return result;
}

} // namespace

CodeSpace codeSpaceOf(const uint8_t *lengths, size_t count)
{
    unsigned perLength[PrefixCode::maxLength + 1] = {};
    for (size_t i = 0; i < count; ++i)
        ++perLength[lengths[i]];
    int64_t left = 1;
    for (unsigned length = 1; length <= PrefixCode::maxLength; ++length) {
        left = left * 2 - perLength[length];
        if (left < 0)
            return CodeSpace::overSubscribed;
    }
    return left == 0 ? CodeSpace::complete : CodeSpace::incomplete;
}

void canonicalCodes(const uint8_t *lengths, size_t count, uint16_t *codes)
{
    unsigned perLength[PrefixCode::maxLength + 1] = {};
    for (size_t i = 0; i < count; ++i)
        ++perLength[lengths[i]];
    perLength[0] = 0;
    unsigned next[PrefixCode::maxLength + 1] = {};
    for (unsigned length = 1, code = 0; length <= PrefixCode::maxLength; ++length) {
        code = (code + perLength[length - 1]) << 1;
        next[length] = code;
    }
    for (size_t i = 0; i < count; ++i)
        if (lengths[i] != 0)
            codes[i] = static_cast<uint16_t>(next[lengths[i]]++);
}

void PrefixCode::build(const uint8_t *lengths, const uint16_t *codes, size_t count,
                       unsigned rootBits)
{
    rootBits_ = rootBits;
    rootMask_ = (1u << rootBits) - 1;
    const size_t rootSize = size_t{1} << rootBits;
    // The longest code behind each root index decides the width of its second table.
    std::vector<uint8_t> longest(rootSize, 0);
    for (size_t i = 0; i < count; ++i)
        if (lengths[i] > rootBits) {
            const unsigned index = reversed(codes[i], lengths[i]) & rootMask_;
            longest[index] = std::max(longest[index], lengths[i]);
        }
    table_.assign(rootSize, Entry{0, 0, noCode});
    for (size_t index = 0; index < rootSize; ++index)
        if (longest[index] != 0) {
            const unsigned width = longest[index] - rootBits;
            table_[index] =
                Entry{static_cast<uint16_t>(table_.size()), static_cast<uint8_t>(width), link};
            table_.resize(table_.size() + (size_t{1} << width), Entry{0, 0, noCode});
        }
    for (size_t i = 0; i < count; ++i) {
        const unsigned length = lengths[i];
        if (length == 0)
            continue;
        const unsigned code = reversed(codes[i], length);
        const Entry entry{static_cast<uint16_t>(i), static_cast<uint8_t>(length), leaf};
        if (length <= rootBits) {
            for (size_t at = code; at < rootSize; at += size_t{1} << length)
                table_[at] = entry;
            continue;
        }
        const Entry &second = table_[code & rootMask_];
        for (size_t at = code >> rootBits; at < (size_t{1} << second.length);
             at += size_t{1} << (length - rootBits))
            table_[second.symbol + at] = entry;
    }
}
