#include "outputwindow.h"

namespace {

constexpr size_t chunkSize = 256 * 1024;
constexpr size_t slack = 8;

} // namespace

OutputWindow::OutputWindow(DecodedOutput &output, size_t history, uint64_t limit)
    : output_(output), history_(history), limit_(limit),
      buffer_(new unsigned char[history + chunkSize + slack]()), next_(buffer_.get() + history),
      pending_(next_), end_(next_ + chunkSize)
{
}

Result<void> OutputWindow::flush()
{
    const size_t size = static_cast<size_t>(next_ - pending_);
    if (Result<void> written = output_.write(pending_, size); !written)
        return written;
    written_ += size;
    pending_ = next_;
    return {};
}

Result<void> OutputWindow::flushAndSlide()
{
    if (Result<void> flushed = flush(); !flushed)
        return flushed;
    std::memmove(buffer_.get(), next_ - history_, history_);
    next_ = buffer_.get() + history_;
    pending_ = next_;
    return {};
}
