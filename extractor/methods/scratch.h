// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#pragma once

#include <cstddef>

// How much memory each extracting thread keeps for decoding. Fresh pages are
// dear here (a first touch costs microseconds per 4 KiB page), so a thread
// decodes every member in the same memory: a Deflate member whose compressed
// and decoded bytes fit in it is inflated whole, larger ones stream through
// part of it. 4 MiB holds a 2 MB ROM image with its compressed bytes (more
// gained nothing in bench/inflatebench) and four threads stay far below 32 MB.
constexpr size_t scratchSize = size_t{4} << 20;

// This thread's scratch memory, at least `size` bytes, kept until the thread
// ends. Only the pages a member reaches are ever touched. Null when the memory
// cannot be had.
unsigned char *threadScratch(size_t size = scratchSize);
