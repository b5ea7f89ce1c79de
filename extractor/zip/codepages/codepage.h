// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#pragma once

#include <optional>
#include <string>
#include <string_view>

// The code pages names were written in by archivers that do not say which:
// that of the machine, as DOS and Windows set it.
namespace codePages {

enum class CodePage {
    Cp437, // DOS in America and Western Europe, and the default
    Cp932, // Shift-JIS as Windows extends it: Japan
    Cp866, // DOS Cyrillic: Russia
};

// The characters the bytes stand for in the code page, each in one UTF-16
// unit (all lie in the Basic Multilingual Plane); nothing when the bytes are
// not text in it, which only CP932 can refuse.
std::optional<std::u16string> charactersOf(std::string_view bytes, CodePage page);

// One character of CP932 text: what it stands for and how many bytes it
// takes.
struct ShiftJisCharacter
{
    char16_t code = 0;
    size_t length = 0;
};

// The character whose bytes start at `at`; nothing when they are not one.
std::optional<ShiftJisCharacter> shiftJisCharacterAt(std::string_view bytes, size_t at);

// The same characters in UTF-8.
std::optional<std::string> toUtf8(std::string_view bytes, CodePage page);

} // namespace codePages
