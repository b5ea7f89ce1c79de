// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// UTF-8 as member names, the names decoded from a code page and the names
// folded for a case-insensitive drive all spell it: well-formed sequences
// only, so that one text has one spelling.
namespace utf8 {

// How many bytes the sequence led by `lead` takes; 0 for a byte that leads
// none, or only an overlong one or one beyond U+10FFFF.
inline size_t lengthLedBy(unsigned char lead)
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

// The code point that starts at `at` in text, `at` moved past it; nothing,
// `at` unmoved, for bytes that are no UTF-8 (overlong, a surrogate, beyond
// U+10FFFF, cut short).
inline std::optional<char32_t> decodeAt(std::string_view text, size_t &at)
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

inline bool isValid(std::string_view bytes)
{
    for (size_t at = 0; at < bytes.size();)
        if (!decodeAt(bytes, at))
            return false;
    return true;
}

// Appends `code`, a code point that is no surrogate, as its UTF-8 sequence.
inline void append(std::string &text, char32_t code)
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

} // namespace utf8
