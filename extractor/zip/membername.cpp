// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "zip/membername.h"

#include "base/utf8.h"

#include <cstdio>
#include <optional>

namespace memberName {

std::string decode(std::string_view raw, codePages::CodePage page)
{
    if (utf8::isValid(raw))
        return std::string(raw);
    if (std::optional<std::string> text = codePages::toUtf8(raw, page))
        return *text;
    return *codePages::toUtf8(raw, codePages::CodePage::Cp437);
}

std::string printable(std::string_view name)
{
    std::string shown;
    shown.reserve(name.size());
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || c == '\\') {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            shown += escaped;
        } else {
            shown += c;
        }
    }
    return shown;
}

} // namespace memberName
