// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#pragma once

#include <optional>
#include <string>

// A name as the case-insensitive file systems of cards and sticks compare
// it: FAT32 and exFAT, which fold case beyond ASCII ("É.BIN" is "é.bin" on
// exFAT) and drop trailing dots and spaces on some drivers. Names that are
// one file there fold to one string; others may too, which costs only
// going one member after the other. Nothing when the name holds what is not
// known to fold or not: bytes that are no UTF-8, a code point unassigned
// in the Unicode version built in or whose case mapping is several.
std::optional<std::string> foldedLikeFat(const std::string &name);
