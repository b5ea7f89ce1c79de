// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#pragma once

#include "zip/zipreader.h"

#include <cstdint>
#include <sched.h>
#include <vector>

class SafeTarget;

// How the members of one archive are shared out: how many threads take them,
// on which processors, and when it is one thread, why.
struct ThreadPlan
{
    enum class Why { SideBySide, SmallArchive, OneProcessor, MembersMeet, TooLittleRoom };

    unsigned threads = 1;
    // Where the helpers may run: wherever the process may.
    cpu_set_t processors{};
    Why why = Why::SmallArchive;

    bool sideBySide() const { return threads > 1; }
};

// Side by side, which thread takes which member must not change the result:
// that needs an archive large enough to be worth a second thread, more than
// one processor, members whose places never meet, and room on the target's
// file system for every member, or a later member could take the space an
// earlier one would have had.
ThreadPlan planThreads(uint64_t archiveSize, const std::vector<ZipEntry> &entries,
                       const SafeTarget &target);
