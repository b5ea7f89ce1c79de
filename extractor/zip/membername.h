// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#pragma once

#include "zip/codepages/codepage.h"

#include <string>
#include <string_view>

// Member names as the archive gives them, turned into UTF-8 the same way
// whatever the user's locale.
namespace memberName {

// A name from the archive: kept when it is valid UTF-8 (flagged UTF-8 names,
// Info-ZIP Unicode Path fields and what zip writes on Linux), else read in
// the archive's code page, or as CP437 when it is not text in that one.
std::string decode(std::string_view raw, codePages::CodePage page = codePages::CodePage::Cp437);

// The name made safe for a one-line message: control characters and
// backslashes appear as \xNN, so a name cannot forge or split a line.
std::string printable(std::string_view name);

} // namespace memberName
