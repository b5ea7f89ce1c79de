// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#pragma once

#include "base/result.h"
#include "report.h"
#include "threadplan.h"

#include <atomic>
#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

// Writes that failed for lack of space: a member that failed so beside
// others may fit when it is written alone.
bool lackOfSpace(const Error &error);

// Tells a member being extracted beside others that an earlier member ran
// out of space: it gives up, leaving the space to that member, and is
// extracted again later, in archive order.
class SpaceWatch
{
public:
    SpaceWatch() = default;
    SpaceWatch(const std::atomic<size_t> &ranOutAt, size_t index)
        : ranOutAt_(&ranOutAt), index_(index)
    {
    }

    Result<void> check() const;

private:
    const std::atomic<size_t> *ranOutAt_ = nullptr;
    size_t index_ = 0;
};

// What extracting one member came to: the lines to report, and whether it
// failed for lack of space.
struct MemberOutcome
{
    MemberLines lines;
    bool lackedSpace = false;
};

// Extracts the member at `index`, giving up when `space` says so; nothing
// when there is no member at `index`, nor after it.
using ExtractMember =
    std::function<std::optional<MemberOutcome>(size_t index, const SpaceWatch &space)>;

// Extracts up to `count` members as `plan` says and publishes each one's lines
// under its index, so the report reads as if they went in archive order.
void extractAsPlanned(const ThreadPlan &plan, size_t count, const ExtractMember &extract,
                      Report &report);
