// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#pragma once

#include "base/decoder.h"

// Decoders for the methods no library decodes, each written from the ZIP
// format's own description.

// Method 9, Deflate64: deflate with a 64 KiB window, length code 285 standing
// for 3 plus 16 extra bits, and distance codes 30 and 31.
Decoder decodeDeflate64;

// Method 6, Implode: a 4 or 8 KiB sliding dictionary coded with two or three
// Shannon-Fano trees, chosen by general purpose flag bits 1 and 2.
Decoder decodeImplode;

// Method 1, Shrink: LZW with 9- to 13-bit codes, the code size and the
// partial clearing of the table under the compressor's control.
Decoder decodeShrink;

// Methods 2 to 5, Reduce with compression factors 1 to 4: follower sets
// under a run of byte copies from up to 4 KiB back.
Decoder decodeReduce;
