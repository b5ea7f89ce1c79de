// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "zip/overlap.h"

#include "base/zipformat.h"
#include "zip/recordbytes.h"

#include <algorithm>

namespace zipRecords {

std::vector<HeaderPlace> placeHeaders(const std::vector<ZipEntry> &entries)
{
    std::vector<HeaderPlace> places(entries.size());
    for (size_t i = 0; i < entries.size(); ++i)
        places[i] = {entries[i].headerOffset, i, 0, 0};
    std::sort(places.begin(), places.end(), [](const HeaderPlace &a, const HeaderPlace &b) {
        return a.offset != b.offset ? a.offset < b.offset : a.entry < b.entry;
    });
    // The local header's name and extra field are left out: their lengths
    // are known only from it, and without them the reach is never too far.
    uint64_t reach = 0;
    size_t reaching = 0;
    for (HeaderPlace &place : places) {
        place.reachBefore = reach;
        place.reachingEntry = reaching;
        const ZipEntry &entry = entries[place.entry];
        const uint64_t least = cappedSum(cappedSum(place.offset, zip::localHeaderSize),
                                         entry.compressedSize.value_or(0));
        if (least > reach) {
            reach = least;
            reaching = place.entry;
        }
    }
    return places;
}

std::optional<std::string> overlapOf(const CentralDirectory &directory, const ZipEntry &entry,
                                     uint64_t dataOffset, uint64_t compressedSize)
{
    const std::vector<HeaderPlace> &headers = directory.headers;
    const auto place = std::lower_bound(
        headers.begin(), headers.end(), entry.headerOffset,
        [](const HeaderPlace &place, uint64_t offset) { return place.offset < offset; });
    if (place != headers.end() && place->reachBefore > entry.headerOffset)
        return "member " + directory.entries[place->reachingEntry].name;
    const uint64_t dataEnd = cappedSum(dataOffset, compressedSize);
    for (auto other = place; other != headers.end() && other->offset < dataEnd; ++other)
        if (&directory.entries[other->entry] != &entry)
            return "member " + directory.entries[other->entry].name;
    if (dataEnd > directory.start)
        return std::string("the central directory");
    return std::nullopt;
}

} // namespace zipRecords
