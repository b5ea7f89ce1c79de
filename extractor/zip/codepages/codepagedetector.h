// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#pragma once

#include "zip/codepages/codepage.h"

#include <cstdint>
#include <string_view>

namespace codePages {

// How many bytes of one reading of names look like text of its language,
// and how many do not.
struct ReadingEvidence
{
    uint64_t for_ = 0;
    uint64_t against = 0;
};

// Chooses the code page of an archive's names from all those that say
// nothing of theirs, one name at a time and keeping none, by how each
// reading of them looks:
// - CP437: whether its accented letters sit as Western European words place
//   them (in a run of at most two, beside letters of their case, never the
//   second of two with one letter between, as kana read); box drawing and
//   Greek count against it.
// - CP932: every name valid Shift-JIS, with kana and common kanji for it,
//   other signs and characters inside Latin words against it.
// - CP866: letters in Cyrillic words of plausible case for it, signs and
//   words mixed with Latin letters against it.
// CP932 or CP866 is chosen only when fewer than half of the CP437 reading's
// characters sit well and its own reading has enough bytes for it: two for
// each one against for CP932, four for CP866. When both have, the one with
// more bytes for it. CP437 otherwise.
class CodePageDetector
{
public:
    // A name that is neither flagged UTF-8 nor valid UTF-8.
    void add(std::string_view rawName);

    CodePage choice() const;

private:
    ReadingEvidence western_;
    bool allShiftJis_ = true;
    ReadingEvidence japanese_;
    ReadingEvidence cyrillic_;
};

} // namespace codePages
