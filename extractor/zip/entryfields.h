// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#pragma once

#include "zip/codepages/codepage.h"
#include "zip/zipreader.h"

#include <cstdint>
#include <ctime>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

// What both kinds of header say of a member beyond their fixed fields: its
// name, from the raw bytes or an extra field, its time, its kind, and the
// ZIP64 values.
namespace zipRecords {

// The 64-bit values of a ZIP64 field replace those of the header that are
// saturated, in the header's order; a value the field is too short for stays
// as the header gives it.
void applyZip64(std::string_view extra, std::initializer_list<uint64_t *> values);

// The segment a member's local header lies on: after the 64-bit values in
// the ZIP64 field when the central header's 16-bit number is saturated.
uint32_t diskOf(uint16_t disk, std::string_view extra, size_t zip64Values);

// The member's name in UTF-8 (see ZipEntry::name).
std::string decodeName(std::string_view rawName, uint16_t flags, std::string_view extra,
                       codePages::CodePage page);

// Whether a name says nothing of its code page: neither flagged nor valid
// UTF-8, and without a Unicode Path field that matches it.
bool inLegacyCodePage(std::string_view rawName, uint16_t flags, std::string_view extra);

// The code page of one name alone, for a member found without a central
// directory.
codePages::CodePage codePageOf(std::string_view rawName, uint16_t flags, std::string_view extra);

// The modification time: the extended timestamp, else NTFS times, else the
// DOS date and time.
std::optional<timespec> modificationTime(std::string_view extra, uint16_t time, uint16_t date);

// A name from such a host, with the separators it means; "\" is an ordinary
// character in names from anywhere else, and in a local header, which does
// not say where it was made.
std::string withSeparators(std::string name, unsigned host);

// The member's kind, and whether it is executable, as the host that made it
// records them in the external attributes.
void setKind(ZipEntry &entry, uint16_t madeBy, uint32_t externalAttributes);

} // namespace zipRecords
