// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#pragma once

#include "base/decoder.h"

#include <QByteArray>

#include <algorithm>

// A member's compressed bytes handed out in uneven pieces of at most
// `pieceSize`, as a file's would be, so codes straddle reads.
class MemoryInput : public CompressedInput
{
public:
    MemoryInput(QByteArray bytes, size_t pieceSize) : bytes_(std::move(bytes)), piece_(pieceSize) {}

    Result<size_t> read(void *buffer, size_t size) override
    {
        const size_t piece = std::min({size, piece_, size_t(bytes_.size()) - position_});
        std::copy_n(bytes_.constData() + position_, piece, static_cast<char *>(buffer));
        position_ += piece;
        return piece;
    }

private:
    QByteArray bytes_;
    size_t piece_;
    size_t position_ = 0;
};

// Keeps every decoded byte.
class MemoryOutput : public DecodedOutput
{
public:
    Result<void> write(const unsigned char *data, size_t size) override
    {
        bytes.append(reinterpret_cast<const char *>(data), qsizetype(size));
        return {};
    }

    QByteArray bytes;
};
