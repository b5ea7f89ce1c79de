// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#pragma once

#include <cerrno>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

// Why something failed, in words for the user ("damaged data", "No space left
// on device"), with the system's error number when the system refused.
struct Error
{
    std::string text;
    int systemError = 0;
};

// A failed system call: "what: strerror(code)", keeping the code so callers can
// tell a full disk from other failures.
inline Error systemError(std::string_view what, int code = errno)
{
    std::string text(what);
    if (!text.empty())
        text += ": ";
    text += std::strerror(code);
    return Error{std::move(text), code};
}

// The one shape of a result in the extractor: a value, or the Error that
// stopped it.
template <typename T> class [[nodiscard]] Result
{
public:
    Result(T value) : state_(std::move(value)) {}
    Result(Error error) : state_(std::move(error)) {}

    bool ok() const { return state_.index() == 0; }
    explicit operator bool() const { return ok(); }

    T &value() { return std::get<0>(state_); }
    const T &value() const { return std::get<0>(state_); }
    T &operator*() { return value(); }
    const T &operator*() const { return value(); }
    T *operator->() { return &value(); }
    const T *operator->() const { return &value(); }

    const Error &error() const { return std::get<1>(state_); }

private:
    std::variant<T, Error> state_;
};

template <> class [[nodiscard]] Result<void>
{
public:
    Result() = default;
    Result(Error error) : error_(std::move(error)) {}

    bool ok() const { return !error_; }
    explicit operator bool() const { return ok(); }

    const Error &error() const { return *error_; }

private:
    std::optional<Error> error_;
};

// Returns from the calling function, itself giving a Result, the error of
// `expression` when it failed, for steps whose value, if any, is not needed.
#define RETURN_IF_ERROR(expression)                                                                \
    do {                                                                                           \
        if (const auto &failedOrNot_ = (expression); !failedOrNot_)                                \
            return failedOrNot_.error();                                                           \
    } while (false)
