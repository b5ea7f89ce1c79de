// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#pragma once

#include <libdeflate.h>

#include <cstddef>
#include <cstdint>

// Carries the ZIP CRC-32 `crc` over `size` more bytes (start from 0).
// libdeflate's runs about three times as fast here as zlib's.
inline uint32_t crc32Update(uint32_t crc, const unsigned char *data, size_t size)
{
    return libdeflate_crc32(crc, data, size);
}
