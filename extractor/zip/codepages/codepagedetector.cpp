// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "zip/codepages/codepagedetector.h"

#include <optional>
#include <string>
#include <vector>

namespace codePages {

namespace {

std::optional<unsigned char> byteAt(std::string_view name, size_t i)
{
    if (i >= name.size())
        return std::nullopt;
    return static_cast<unsigned char>(name[i]);
}

bool isAsciiLetter(unsigned char byte)
{
    return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z');
}

bool isAsciiUpper(unsigned char byte)
{
    return byte >= 'A' && byte <= 'Z';
}

// The letters of CP437's upper half, and which of them are capitals.
bool isCp437Letter(unsigned char byte)
{
    return (byte >= 0x80 && byte <= 0x9A) || (byte >= 0xA0 && byte <= 0xA5) || byte == 0xE1;
}

bool isCp437Upper(unsigned char byte)
{
    switch (byte) {
    case 0x80:
    case 0x8E:
    case 0x8F:
    case 0x90:
    case 0x92:
    case 0x99:
    case 0x9A:
    case 0xA5:
        return true;
    default:
        return false;
    }
}

// Box drawing, blocks, Greek and mathematics: never in a Western name. The
// signs left (currency, ¿ ¡ « » ½ ° ± µ ²) may be, apart from letters.
bool isCp437Soup(unsigned char byte)
{
    if (byte >= 0xB0 && byte <= 0xDF)
        return true;
    return byte >= 0xE0 && byte != 0xE1 && byte != 0xE6 && byte != 0xF1 && byte != 0xF8 &&
           byte != 0xFD && byte != 0xFF;
}

// What may end a word in a name: ASCII that is neither a letter nor one of
// the signs a Shift-JIS character's second byte is often read as.
bool isBoundary(std::optional<unsigned char> byte)
{
    if (!byte)
        return true;
    if (*byte >= 0x80 || isAsciiLetter(*byte))
        return false;
    return std::string_view("@[\\]^`{|}~").find(static_cast<char>(*byte)) == std::string_view::npos;
}

// An accented letter's neighbour, as a Western language would have it: a
// boundary, an ASCII letter (a capital only before a capital or after a
// small letter ending it), or another accented letter of the same case.
bool fitsBeside(unsigned char letter, std::optional<unsigned char> neighbour, bool before)
{
    if (isBoundary(neighbour))
        return true;
    if (isCp437Letter(*neighbour))
        return isCp437Upper(*neighbour) == isCp437Upper(letter);
    if (!isAsciiLetter(*neighbour))
        return false;
    if (isCp437Upper(letter))
        return !before || isAsciiUpper(*neighbour);
    return before || !isAsciiUpper(*neighbour);
}

// Whether the byte at `i`, in a run of `run` bytes of the upper half, sits
// as Western European words place accented letters.
bool sitsWell(std::string_view name, size_t i, size_t run)
{
    const unsigned char byte = *byteAt(name, i);
    const bool everyOtherByte =
        i >= 2 && *byteAt(name, i - 2) >= 0x80 && *byteAt(name, i - 1) < 0x80;
    return isCp437Letter(byte) && run <= 2 && !everyOtherByte &&
           fitsBeside(byte, i > 0 ? byteAt(name, i - 1) : std::nullopt, true) &&
           fitsBeside(byte, byteAt(name, i + 1), false);
}

// The CP437 reading: for each accented letter or soup character, whether it
// sits well. Shift-JIS read so gives runs of accented letters and signs,
// and kana the same accented letter every other byte.
ReadingEvidence westernEvidence(std::string_view name)
{
    ReadingEvidence evidence;
    for (size_t start = 0; start < name.size();) {
        if (*byteAt(name, start) < 0x80) {
            ++start;
            continue;
        }
        size_t end = start;
        while (end < name.size() && *byteAt(name, end) >= 0x80)
            ++end;
        const size_t run = end - start;
        for (size_t i = start; i < end; ++i) {
            const unsigned char byte = *byteAt(name, i);
            if (isCp437Letter(byte) || isCp437Soup(byte) || run > 1)
                ++(sitsWell(name, i, run) ? evidence.for_ : evidence.against);
        }
        start = end;
    }
    return evidence;
}

// Hiragana, katakana, and the punctuation written with them (、。「」【】).
bool isKanaOrPunctuation(char16_t c)
{
    return c >= 0x3000 && c <= 0x30FF;
}

bool isKanji(char16_t c)
{
    return (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF);
}

// The kanji of JIS level 1, those in common use: leads 0x88 to 0x98. Read
// as lead bytes, Cyrillic small letters from 0xE0 on make only rarer ones.
bool isCommonKanji(std::string_view name, size_t at)
{
    const unsigned char lead = *byteAt(name, at);
    return lead >= 0x88 && lead <= 0x98;
}

bool isHalfWidthKana(char16_t c)
{
    return c >= 0xFF61 && c <= 0xFF9F;
}

// Half-width katakana, which DOS names used, from ｱ on: before it lie small
// kana and signs, all that Cyrillic small letters make.
bool isFullSizeHalfWidthKana(char16_t c)
{
    return c >= 0xFF70 && c <= 0xFF9F;
}

bool isFullWidthForm(char16_t c)
{
    return c >= 0xFF01 && c <= 0xFF5E;
}

// The CP932 reading, character by character; nothing when it is not text.
std::optional<std::vector<ShiftJisCharacter>> shiftJisCharacters(std::string_view name)
{
    std::vector<ShiftJisCharacter> text;
    for (size_t at = 0; at < name.size();) {
        const std::optional<ShiftJisCharacter> character = shiftJisCharacterAt(name, at);
        if (!character)
            return std::nullopt;
        text.push_back(*character);
        at += character->length;
    }
    return text;
}

bool isAsciiLetterCharacter(const std::vector<ShiftJisCharacter> &text, size_t i)
{
    return i < text.size() && text[i].code < 0x80 &&
           isAsciiLetter(static_cast<unsigned char>(text[i].code));
}

// The CP932 reading: kana and common kanji for, other signs against, rare
// kanji and full-width Latin letters and digits neither. A character
// between two ASCII letters is against: Japanese is not written inside
// Latin words. Half-width katakana count for only two or more in a run
// holding one from ｱ on.
ReadingEvidence japaneseEvidence(std::string_view name, const std::vector<ShiftJisCharacter> &text)
{
    ReadingEvidence evidence;
    for (size_t i = 0, at = 0; i < text.size();) {
        const ShiftJisCharacter &c = text[i];
        if (isHalfWidthKana(c.code)) {
            bool fullSize = false;
            const size_t start = i;
            for (; i < text.size() && isHalfWidthKana(text[i].code); ++i)
                fullSize = fullSize || isFullSizeHalfWidthKana(text[i].code);
            const bool word = i - start > 1 && fullSize;
            (word ? evidence.for_ : evidence.against) += i - start;
            at += i - start;
            continue;
        }
        const bool neither = c.code < 0x80 || isFullWidthForm(c.code) ||
                             (isKanji(c.code) && !isCommonKanji(name, at));
        if (!neither) {
            const bool inLatinWord =
                i > 0 && isAsciiLetterCharacter(text, i - 1) && isAsciiLetterCharacter(text, i + 1);
            const bool japanese = (isKanaOrPunctuation(c.code) || isKanji(c.code)) && !inLatinWord;
            (japanese ? evidence.for_ : evidence.against) += c.length;
        }
        at += c.length;
        ++i;
    }
    return evidence;
}

bool isCyrillic(char16_t c)
{
    return c >= 0x0400 && c <= 0x045F;
}

bool isCyrillicUpper(char16_t c)
{
    return c >= 0x0400 && c <= 0x042F;
}

bool isLetter(char16_t c)
{
    return isCyrillic(c) || (c < 0x80 && isAsciiLetter(static_cast<unsigned char>(c)));
}

// A Russian word: Cyrillic letters alone, in small letters, in capitals, or
// a capital and small letters.
bool isCyrillicWord(std::u16string_view word)
{
    size_t capitals = 0;
    for (const char16_t c : word) {
        if (!isCyrillic(c))
            return false;
        capitals += isCyrillicUpper(c);
    }
    return capitals == 0 || capitals == word.size() ||
           (capitals == 1 && isCyrillicUpper(word.front()));
}

// The CP866 reading: letters in Cyrillic words of two letters or more for;
// those in words mixed with Latin letters or of odd case, and the signs of
// the upper half, against; one-letter words neither.
ReadingEvidence cyrillicEvidence(const std::u16string &text)
{
    ReadingEvidence evidence;
    for (size_t i = 0; i < text.size();) {
        if (!isLetter(text[i])) {
            evidence.against += text[i] >= 0x80;
            ++i;
            continue;
        }
        size_t end = i;
        size_t cyrillic = 0;
        for (; end < text.size() && isLetter(text[end]); ++end)
            cyrillic += isCyrillic(text[end]);
        const std::u16string_view word(text.data() + i, end - i);
        if (isCyrillicWord(word))
            evidence.for_ += word.size() > 1 ? word.size() : 0;
        else
            evidence.against += cyrillic;
        i = end;
    }
    return evidence;
}

// At least `ratio` bytes for the reading for each one against it.
bool convincing(const ReadingEvidence &evidence, uint64_t ratio)
{
    return evidence.for_ > 0 && evidence.for_ >= ratio * evidence.against;
}

// Whether the first reading has more bytes for it, or as many and fewer
// against.
bool explainsMore(const ReadingEvidence &first, const ReadingEvidence &second)
{
    if (first.for_ != second.for_)
        return first.for_ > second.for_;
    return first.against < second.against;
}

void accumulate(ReadingEvidence &sum, const ReadingEvidence &more)
{
    sum.for_ += more.for_;
    sum.against += more.against;
}

} // namespace

void CodePageDetector::add(std::string_view rawName)
{
    accumulate(western_, westernEvidence(rawName));
    if (allShiftJis_) {
        if (const auto text = shiftJisCharacters(rawName))
            accumulate(japanese_, japaneseEvidence(rawName, *text));
        else
            allShiftJis_ = false;
    }
    accumulate(cyrillic_, cyrillicEvidence(*charactersOf(rawName, CodePage::Cp866)));
}

// When both other readings convince, the one with more bytes for it wins,
// then the one with fewer against, then CP932: Cyrillic capitals are what a
// run of kanji reads as, while Russian words are seldom valid Shift-JIS.
CodePage CodePageDetector::choice() const
{
    const bool westernImplausible = western_.for_ * 2 < western_.for_ + western_.against;
    const bool japanese = allShiftJis_ && convincing(japanese_, 2);
    const bool cyrillic = convincing(cyrillic_, 4);
    if (!westernImplausible || (!japanese && !cyrillic))
        return CodePage::Cp437;
    if (japanese && (!cyrillic || !explainsMore(cyrillic_, japanese_)))
        return CodePage::Cp932;
    return CodePage::Cp866;
}

} // namespace codePages
