// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "casefold.h"

#include "base/utf8.h"

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

} // namespace

std::optional<std::string> foldedLikeFat(const std::string &name)
{
    const std::string kept = name.substr(0, name.find_last_not_of(". ") + 1);
    std::string folded;
    folded.reserve(kept.size());
    for (size_t at = 0; at < kept.size();) {
        const std::optional<char32_t> code = utf8::decodeAt(kept, at);
        if (!code || unsure(*code))
            return std::nullopt;
        utf8::append(folded, foldedCode(*code));
    }
    return folded;
}
