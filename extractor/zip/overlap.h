// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#pragma once

#include "zip/zipreader.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// No two members share a byte (see locateData): where each member's bytes
// reach, and what they meet.
namespace zipRecords {

// The entries by where their local headers lie, for overlapOf.
std::vector<HeaderPlace> placeHeaders(const std::vector<ZipEntry> &entries);

// The first thing the entry's bytes meet, its data of compressedSize bytes
// starting at dataOffset: a member before it, one after it, or the central
// directory.
std::optional<std::string> overlapOf(const CentralDirectory &directory, const ZipEntry &entry,
                                     uint64_t dataOffset, uint64_t compressedSize);

} // namespace zipRecords
