// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "sharedrun.h"

#include <algorithm>
#include <cerrno>
#include <pthread.h>

namespace {

// Neither the reader nor the decoders recurse; the default 8 MB is only
// address space to map and unmap.
constexpr size_t helperStackSize = 1024 * 1024;

// What the threads extracting one archive share.
class SharedRun
{
public:
    SharedRun(const ThreadPlan &plan, size_t count, const ExtractMember &extract, Report &report)
        : plan_(plan), count_(count), extract_(extract), report_(report)
    {
    }

    // Takes members in archive order until none is left. Beside other
    // threads, once a member has run out of space after all (a quota, another
    // writer), it and every later member not yet written are left for
    // extractLeftInOrder.
    void extractTaken()
    {
        const bool sideBySide = plan_.sideBySide();
        for (size_t index; (index = next_++) < count_;) {
            if (sideBySide && spaceRanOutAt_ < index) {
                leaveForLater(index);
                continue;
            }
            const SpaceWatch space = sideBySide ? SpaceWatch(spaceRanOutAt_, index) : SpaceWatch();
            std::optional<MemberOutcome> outcome = extract_(index, space);
            if (!outcome)
                return;
            if (sideBySide && outcome->lackedSpace) {
                leaveForLater(index);
                continue;
            }
            report_.publish(index, std::move(outcome->lines));
        }
    }

    // Once every thread is done, what was left goes one member at a time in
    // archive order, as if side by side had stopped at the first member that
    // ran out of space.
    void extractLeftInOrder()
    {
        std::sort(left_.begin(), left_.end());
        for (const size_t index : left_)
            if (std::optional<MemberOutcome> outcome = extract_(index, SpaceWatch()))
                report_.publish(index, std::move(outcome->lines));
    }

    const ThreadPlan &plan() const { return plan_; }

private:
    void leaveForLater(size_t index)
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        left_.push_back(index);
        size_t earliest = spaceRanOutAt_;
        while (index < earliest && !spaceRanOutAt_.compare_exchange_weak(earliest, index)) {
        }
    }

    const ThreadPlan &plan_;
    const size_t count_;
    const ExtractMember &extract_;
    Report &report_;
    std::atomic<size_t> next_{0};
    std::atomic<size_t> spaceRanOutAt_{SIZE_MAX};
    std::mutex mutex_;
    std::vector<size_t> left_;
};

void *startHelper(void *data)
{
    auto &run = *static_cast<SharedRun *>(data);
    ::sched_setaffinity(0, sizeof run.plan().processors, &run.plan().processors);
    run.extractTaken();
    return nullptr;
}

// Left to itself the scheduler often starts a new thread on the processor
// of the thread that made it and moves it only milliseconds later, which is
// most of a typical archive's extraction. So a helper starts on another
// processor, and is then free to go anywhere the plan allows. Should no
// helper start, the run still comes out as in archive order, only slower.
std::vector<pthread_t> startHelpers(SharedRun &run)
{
    std::vector<pthread_t> started;
    pthread_attr_t attributes;
    if (!run.plan().sideBySide() || ::pthread_attr_init(&attributes) != 0)
        return started;
    cpu_set_t elsewhere = run.plan().processors;
    if (const int current = ::sched_getcpu(); current >= 0)
        CPU_CLR(current, &elsewhere);
    ::pthread_attr_setaffinity_np(&attributes, sizeof elsewhere, &elsewhere);
    ::pthread_attr_setstacksize(&attributes, helperStackSize);
    while (started.size() + 1 < run.plan().threads) {
        pthread_t thread;
        if (::pthread_create(&thread, &attributes, startHelper, &run) != 0)
            break;
        started.push_back(thread);
    }
    ::pthread_attr_destroy(&attributes);
    return started;
}

} // namespace

bool lackOfSpace(const Error &error)
{
    return error.kind == ErrorKind::noSpace;
}

Result<void> SpaceWatch::check() const
{
    if (ranOutAt_ != nullptr && *ranOutAt_ < index_)
        return Error{"left for an earlier member that ran out of space", ErrorKind::noSpace};
    return {};
}

void extractAsPlanned(const ThreadPlan &plan, size_t count, const ExtractMember &extract,
                      Report &report)
{
    SharedRun run(plan, count, extract, report);
    const std::vector<pthread_t> helpers = startHelpers(run);
    run.extractTaken();
    for (const pthread_t thread : helpers)
        ::pthread_join(thread, nullptr);
    run.extractLeftInOrder();
}
