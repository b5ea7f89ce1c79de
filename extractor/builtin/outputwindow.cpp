// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "builtin/outputwindow.h"

#include <algorithm>

namespace {

// Large beside the longest run, so that Deflate64's quick loop, which wants
// room for one, seldom stops short of a chunk's end.
constexpr size_t chunkSize = 1024 * 1024;
constexpr size_t slack = 8;
static_assert(chunkSize >= OutputWindow::maxRun, "a chunk must hold the longest run");

} // namespace

OutputWindow::OutputWindow(DecodedOutput &output, size_t history, uint64_t limit)
    : output_(output), history_(history), limit_(limit),
      buffer_(new unsigned char[history + chunkSize + slack]), next_(buffer_.get() + history),
      pending_(next_)
{
    std::memset(buffer_.get(), 0, history);
    setEnd();
}

void OutputWindow::setEnd()
{
    end_ = next_ + std::min<uint64_t>(chunkSize, room());
}

Result<void> OutputWindow::flush()
{
    const size_t size = static_cast<size_t>(next_ - pending_);
    RETURN_IF_ERROR(output_.write(pending_, size));
    written_ += size;
    pending_ = next_;
    return {};
}

Result<void> OutputWindow::flushAndSlide(size_t wanted)
{
    RETURN_IF_ERROR(flush());
    std::memmove(buffer_.get(), next_ - history_, history_);
    next_ = buffer_.get() + history_;
    pending_ = next_;
    setEnd();
    if (static_cast<size_t>(end_ - next_) < wanted)
        return damagedData();
    return {};
}
