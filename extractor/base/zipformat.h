// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// The numbers the ZIP format gives meaning to, for the reader, the decoders
// and the header pkunzip writes for libarchive alike.
namespace zip {

// Compression methods, by their numbers in a member's headers.
enum Method : uint16_t {
    stored = 0,
    shrunk = 1,
    reducedFactor1 = 2,
    reducedFactor2 = 3,
    reducedFactor3 = 4,
    reducedFactor4 = 5,
    imploded = 6,
    deflated = 8,
    deflate64 = 9,
    bzip2 = 12,
    lzma = 14,
    zstandard = 93,
    xz = 95,
    ppmd = 98,
    aesEncrypted = 99,
};

// Bits of the general purpose bit flag. Bits 1 and 2 mean something else
// for each method.
constexpr uint16_t encryptedFlag = 1 << 0;
constexpr uint16_t implodeLargeDictionaryFlag = 1 << 1;
constexpr uint16_t implodeLiteralTreeFlag = 1 << 2;
constexpr uint16_t lzmaEndMarkerFlag = 1 << 1;
constexpr uint16_t sizesFollowFlag = 1 << 3;
constexpr uint16_t utf8NameFlag = 1 << 11;

// The four bytes that open each kind of record.
constexpr std::string_view localSignature("PK\x03\x04", 4);
constexpr std::string_view centralSignature("PK\x01\x02", 4);
constexpr std::string_view endSignature("PK\x05\x06", 4);
constexpr std::string_view zip64LocatorSignature("PK\x06\x07", 4);
constexpr std::string_view zip64EndSignature("PK\x06\x06", 4);
constexpr std::string_view descriptorSignature("PK\x07\x08", 4);

// The fixed part of each record, before its names, extra fields and comment.
constexpr size_t localHeaderSize = 30;
constexpr size_t centralHeaderSize = 46;
constexpr size_t endRecordSize = 22;
constexpr size_t zip64LocatorSize = 20;
constexpr size_t zip64EndSize = 56;

// A 32-bit size or offset saturated so: the value is in the ZIP64 field.
constexpr uint32_t saturated32 = 0xffffffff;
constexpr uint16_t saturated16 = 0xffff;
constexpr uint16_t zip64Field = 0x0001;

} // namespace zip
