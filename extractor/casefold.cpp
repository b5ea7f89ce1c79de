// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "casefold.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace {

struct CaseFold
{
    char32_t code;
    char32_t folded;
};

struct CodeRange
{
    char32_t first;
    char32_t last;
};

#include "casefoldtable.inc"

bool unsure(char32_t code)
{
    const auto after = std::upper_bound(
        std::begin(unsureCodes), std::end(unsureCodes), code,
        [](char32_t value, const CodeRange &range) { return value < range.first; });
    return after != std::begin(unsureCodes) && code <= std::prev(after)->last;
}

char32_t foldedCode(char32_t code)
{
    const auto found =
        std::lower_bound(std::begin(caseFolds), std::end(caseFolds), code,
                         [](const CaseFold &fold, char32_t value) { return fold.code < value; });
    return found != std::end(caseFolds) && found->code == code ? found->folded : code;
}

// How many bytes the UTF-8 sequence led by `lead` takes; 0 for a byte that
// leads none, or only an overlong one.
size_t lengthLedBy(unsigned char lead)
{
    if (lead < 0x80)
        return 1;
    if (lead < 0xC2)
        return 0;
    if (lead < 0xE0)
        return 2;
    if (lead < 0xF0)
        return 3;
    return lead < 0xF5 ? 4 : 0;
}

// The code point starting at `at`, which moves past it; nothing for bytes
// that are no UTF-8 (overlong, surrogate, beyond U+10FFFF, cut short).
std::optional<char32_t> decodeAt(const std::string &text, size_t &at)
{
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    const size_t length = lengthLedBy(lead);
    if (length == 0 || text.size() - at < length)
        return std::nullopt;
    char32_t code = length == 1 ? lead : lead & (0x7F >> length);
    for (size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80)
            return std::nullopt;
        code = (code << 6) | (byte(at + i) & 0x3F);
    }
    static constexpr char32_t leastOfLength[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < leastOfLength[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return std::nullopt;
    at += length;
    return code;
}

void append(std::string &text, char32_t code)
{
    if (code < 0x80) {
        text += static_cast<char>(code);
        return;
    }
    const int length = code < 0x800 ? 2 : code < 0x10000 ? 3 : 4;
    static constexpr unsigned char leadMark[] = {0, 0, 0xC0, 0xE0, 0xF0};
    text += static_cast<char>(leadMark[length] | (code >> (6 * (length - 1))));
    for (int shift = 6 * (length - 2); shift >= 0; shift -= 6)
        text += static_cast<char>(0x80 | ((code >> shift) & 0x3F));
}

} // namespace

std::optional<std::string> foldedLikeFat(const std::string &name)
{
    const std::string kept = name.substr(0, name.find_last_not_of(". ") + 1);
    std::string folded;
    folded.reserve(kept.size());
    for (size_t at = 0; at < kept.size();) {
        const std::optional<char32_t> code = decodeAt(kept, at);
        if (!code || unsure(*code))
            return std::nullopt;
        append(folded, foldedCode(*code));
    }
    return folded;
}
