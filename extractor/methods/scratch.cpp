// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "methods/scratch.h"

#include <algorithm>
#include <memory>
#include <new>

namespace {

struct Scratch
{
    std::unique_ptr<unsigned char[]> memory;
    size_t size = 0;
};

} // namespace

unsigned char *threadScratch(size_t size)
{
    thread_local Scratch scratch;
    if (scratch.size < size) {
        // Left uninitialised on purpose: zeroing would touch every page.
        scratch.memory.reset(new (std::nothrow) unsigned char[std::max(size, scratchSize)]);
        scratch.size = scratch.memory ? std::max(size, scratchSize) : 0;
    }
    return scratch.memory.get();
}
