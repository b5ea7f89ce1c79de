// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#pragma once

#include "base/decoder.h"

#include <cstddef>

// Inflates a Deflate member. One of at least 16 KiB whose compressed and
// decoded bytes together fit in `wholeLimit` bytes (and whose sizes are both
// known) is inflated in one go by libdeflate in this thread's scratch memory;
// any other streams through zlib. The limit is a parameter only so that the benchmark can weigh it.
Result<uint64_t> inflateMemberWithin(const CompressedMember &member, CompressedInput &input,
                                     DecodedOutput &output, size_t wholeLimit);
