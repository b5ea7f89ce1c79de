// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#pragma once

#include "failure.h"

#include <optional>
#include <utility>
#include <variant>

// The one shape of a result on the desktop side: a value, or the Failure that
// stopped the operation.
template <typename T> class [[nodiscard]] Result
{
public:
    Result(T value) : state(std::move(value)) {}
    Result(Failure failure) : state(std::move(failure)) {}

    bool ok() const { return state.index() == 0; }
    explicit operator bool() const { return ok(); }

    T &value() { return std::get<0>(state); }
    const T &value() const { return std::get<0>(state); }
    T &operator*() { return value(); }
    const T &operator*() const { return value(); }
    const T *operator->() const { return &value(); }

    const Failure &failure() const { return std::get<1>(state); }

private:
    std::variant<T, Failure> state;
};

template <> class [[nodiscard]] Result<void>
{
public:
    Result() = default;
    Result(Failure failure) : stoppedBy(std::move(failure)) {}

    bool ok() const { return !stoppedBy; }
    explicit operator bool() const { return ok(); }

    const Failure &failure() const { return *stoppedBy; }

private:
    std::optional<Failure> stoppedBy;
};
