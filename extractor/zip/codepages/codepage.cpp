// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "zip/codepages/codepage.h"

#include "base/utf8.h"
#include "zip/codepages/codepagetables.h"

namespace codePages {

namespace {

using namespace codePageTables;

std::u16string fromSingleBytes(std::string_view bytes, const char16_t (&upperHalf)[128])
{
    std::u16string characters;
    characters.reserve(bytes.size());
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        characters += byte < 0x80 ? char16_t{byte} : upperHalf[byte - 0x80];
    }
    return characters;
}

std::optional<std::u16string> fromShiftJis(std::string_view bytes)
{
    std::u16string characters;
    characters.reserve(bytes.size());
    for (size_t at = 0; at < bytes.size();) {
        const std::optional<ShiftJisCharacter> character = shiftJisCharacterAt(bytes, at);
        if (!character)
            return std::nullopt;
        characters += character->code;
        at += character->length;
    }
    return characters;
}

} // namespace

std::optional<ShiftJisCharacter> shiftJisCharacterAt(std::string_view bytes, size_t at)
{
    const auto byte = static_cast<unsigned char>(bytes[at]);
    if (byte < 0x80)
        return ShiftJisCharacter{byte, 1};
    const unsigned row = cp932RowOf[byte - 0x80];
    if (row == 0) {
        if (cp932Single[byte - 0x80] == 0)
            return std::nullopt;
        return ShiftJisCharacter{cp932Single[byte - 0x80], 1};
    }
    if (at + 1 >= bytes.size())
        return std::nullopt;
    const int trail = static_cast<unsigned char>(bytes[at + 1]) - cp932FirstTrail;
    if (trail < 0 || trail >= cp932TrailCount || cp932Rows[row][trail] == 0)
        return std::nullopt;
    return ShiftJisCharacter{cp932Rows[row][trail], 2};
}

std::optional<std::u16string> charactersOf(std::string_view bytes, CodePage page)
{
    switch (page) {
    case CodePage::Cp932:
        return fromShiftJis(bytes);
    case CodePage::Cp866:
        return fromSingleBytes(bytes, cp866High);
    case CodePage::Cp437:
        break;
    }
    return fromSingleBytes(bytes, cp437High);
}

std::optional<std::string> toUtf8(std::string_view bytes, CodePage page)
{
    const std::optional<std::u16string> characters = charactersOf(bytes, page);
    if (!characters)
        return std::nullopt;
    std::string text;
    text.reserve(characters->size() * 3);
    for (const char16_t character : *characters)
        utf8::append(text, character);
    return text;
}

} // namespace codePages
