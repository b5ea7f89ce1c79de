// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#pragma once

#include "base/result.h"
#include "base/zipformat.h"
#include "zip/bytesource.h"
#include "zip/codepages/codepage.h"

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

enum class EntryKind { File, Directory, SymbolicLink };

// One member as a header of the archive describes it.
struct ZipEntry
{
    std::string rawName;
    // The name in UTF-8: as flagged, from an Info-ZIP Unicode Path field that
    // matches the raw name, as raw UTF-8, or else read in the archive's code
    // page (CentralDirectory::codePage).
    std::string name;
    uint16_t flags = 0;
    uint16_t method = 0;
    uint32_t crc = 0;
    // Unknown only for a member found by walking local headers whose sizes
    // follow its data.
    std::optional<uint64_t> compressedSize;
    std::optional<uint64_t> uncompressedSize;
    // Where its local header starts, already corrected for bytes before the
    // archive, or where it was found instead (see readCentralDirectory).
    uint64_t headerOffset = 0;
    EntryKind kind = EntryKind::File;
    bool executable = false;
    std::optional<timespec> modified;

    // Traditional encryption or AES: nothing can be written without a password.
    bool encrypted() const
    {
        return (flags & zip::encryptedFlag) != 0 || method == zip::aesEncrypted;
    }
};

// Where a member's local header lies, and how far the members whose headers
// lie before it reach at least: their compressed size, as the central
// directory gives it, past the fixed part of their local header.
struct HeaderPlace
{
    uint64_t offset = 0;
    size_t entry = 0;
    uint64_t reachBefore = 0;
    size_t reachingEntry = 0;
};

// The members of an archive as its central directory lists them, in its order.
struct CentralDirectory
{
    std::vector<ZipEntry> entries;
    // How many members the end record counts beyond those found.
    uint64_t missingEntries = 0;
    // Where the central directory starts, corrected as the entries' offsets.
    uint64_t start = 0;
    // The code page of the names that say nothing of theirs, chosen from all
    // of them: CP437 unless they read as another's much better.
    codePages::CodePage codePage = codePages::CodePage::Cp437;
    // The entries in the order of their local headers in the file.
    std::vector<HeaderPlace> headers;
    // Bytes after the end record and its comment: padding, a signature a
    // tool appended, or, when a ZIP record's signature lies among them
    // (recordAfterEnd), damage to the archive's end.
    uint64_t bytesAfterEnd = 0;
    bool recordAfterEnd = false;
    // A local header among the bytes taken for a stub before the archive.
    // A self-extractor's stub holds none: this central directory is then
    // that of a ZIP stored in a member of the archive, whose own end is cut
    // off or damaged, and the archive is to be walked from here.
    std::optional<uint64_t> headerInStub;
    // How many segments the end record says the archive was split into, up
    // to the 65,535 its 16-bit fields count; a larger claim is ignored.
    uint32_t segments = 1;
};

// Finds the end-of-central-directory record in the last 64 KiB + 22 bytes,
// follows a ZIP64 locator to its record, and reads the central directory.
// Bytes before the archive (a self-extractor's stub) are allowed: when every
// offset is off by the same amount, the entries' offsets are corrected. A
// member whose local header does not lie at its corrected offset has it
// looked for, by its name, between its offset as given and as corrected:
// a tool that adds data descriptors to an archive may leave the offsets
// short by the descriptors before each header.
// A split archive read as a whole file gives only how many segments it has:
// it is to be read again through them, unless `segments` says the file is
// to be taken as all of them joined, its disk numbers ignored.
enum class Segments { ReadThrough, Joined };
Result<CentralDirectory> readCentralDirectory(const ByteSource &file,
                                              Segments segments = Segments::ReadThrough);

// Whether each entry's local header signature lies where its offset says.
bool headersWhereListed(const ByteSource &file, const CentralDirectory &directory);

// Where a member's data starts, as its local header gives it, and what that
// header declares of the member.
struct LocatedData
{
    uint64_t offset = 0;
    // What the member is decoded as first: its central directory entry, or,
    // found by walking, what its local header or data descriptor declares.
    ZipEntry declared;
    // Tried second when it disagrees with the first (disagreement below),
    // the member as its local header declares it: its name, method, and its
    // CRC-32 and sizes unless they follow the data or are saturated without a
    // ZIP64 field; the central directory's entry gives the rest.
    ZipEntry local;
    // How the local header disagrees with the central directory, to be said
    // beside the member ("names it b.txt and disagrees in CRC-32"); empty when
    // it does not.
    std::string disagreement;
    // Why the central directory's sizes, or the local header's, cannot be
    // used: the bytes they take would overlap another member or the central
    // directory.
    std::optional<Error> centralOverlap;
    std::optional<Error> localOverlap;
    // The data's first bytes, read with the header: all of a small member's,
    // possibly followed by bytes beyond it.
    std::string dataAhead;
};

// Reads the local header of one of the directory's entries, and gives where
// the member's data starts and what the local header declares of it.
//
// No two members share a byte. A member's bytes run from its local header to
// the end of its compressed data (a data descriptor after them is not
// counted); the member is refused when they hold another member's local
// header or run into the central directory, or when a member before it
// reaches over its local header. Members that share their data would write
// it once each: twenty members quoting each other's headers over one stream
// of a few kilobytes write gigabytes. What the archive can write is so
// bounded by what its headers declare. The bytes each header's compressed
// size takes are checked, and never read when they overlap (centralOverlap,
// localOverlap); only a member whose headers both overlap is refused here.
Result<LocatedData> locateData(const ByteSource &file, const CentralDirectory &directory,
                               const ZipEntry &entry);

// What reading an archive without a readable central directory needs: where
// the next local header signature lies at or after `from`, ...
std::optional<uint64_t> findLocalHeader(const ByteSource &file, uint64_t from);

// ... whether the members end at `offset` (the end of the file, or the start
// of a central directory), ...
bool membersEndAt(const ByteSource &file, uint64_t offset);

// ... the member whose local header starts at `offset`, ...
struct LocalEntry
{
    ZipEntry entry;
    uint64_t dataOffset = 0;
};
// A stored member whose sizes follow its data ends at the first data
// descriptor, with or without its signature, that records the length and the
// CRC-32 of the bytes before it. Looking for it reads at most `searchLeft`
// bytes and takes them from it: a walk that starts it at a few times the
// archive's size reads the archive that many times at most, however many
// members lack a descriptor.
Result<LocalEntry> readLocalEntry(const ByteSource &file, uint64_t offset, uint64_t &searchLeft);

// ... and the data descriptor after a member's data, with or without its
// signature, found by the sizes it must record.
struct DataDescriptor
{
    uint32_t crc = 0;
    // The offset just past it.
    uint64_t end = 0;
};
Result<DataDescriptor> readDataDescriptor(const ByteSource &file, uint64_t offset,
                                          uint64_t compressedSize, uint64_t uncompressedSize);
