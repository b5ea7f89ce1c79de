// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#pragma once

// The code pages member names are decoded from, as the system's iconv maps
// them when pkunzip is built (makecodepagetables writes them). Each code
// page's lower half is ASCII; 0 stands for no character.
namespace codePageTables {

// Bytes 0x80 to 0xFF.
extern const char16_t cp437High[128];
extern const char16_t cp866High[128];

// CP932 (Shift-JIS): bytes 0x80 to 0xFF that are a character alone
// (half-width katakana); for a lead byte, its row in cp932Rows (0: none);
// and each row's characters for the trail bytes 0x40 to 0xFC.
constexpr int cp932FirstTrail = 0x40;
constexpr int cp932TrailCount = 0xFD - cp932FirstTrail;
extern const char16_t cp932Single[128];
extern const unsigned char cp932RowOf[128];
extern const char16_t cp932Rows[][cp932TrailCount];

} // namespace codePageTables
