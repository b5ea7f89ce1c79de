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

// What kind of failure an Error is, decided where it arises; what is done
// next depends on it alone, never on the system's error number.
enum class ErrorKind {
    // The archive's bytes do not hold: a header, a stream, a CRC-32. An Error
    // made from its text alone is of this kind.
    damagedData,
    // A method, or a member of unknown size, that this header's account of
    // the data cannot be decoded by.
    unsupported,
    // Memory ran out, or decoding would need more than allowed.
    outOfMemory,
    // The target's disk or quota is full, or its file size limit reached.
    noSpace,
    // Something is already where the member goes.
    exists,
    // A rule of pkunzip's or the target's file system refuses the member.
    refused,
    // Any other failure the system gave.
    system,
};

// Why something failed, in words for the user ("damaged data", "No space left
// on device"), its kind, and the system's error number when the system
// refused, which only the message uses.
struct Error
{
    std::string text;
    ErrorKind kind = ErrorKind::damagedData;
    int systemError = 0;
};

// The kind of a system call's failure.
inline ErrorKind kindOfSystemError(int code)
{
    switch (code) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return ErrorKind::noSpace;
    case ENOMEM:
        return ErrorKind::outOfMemory;
    case EEXIST:
        return ErrorKind::exists;
    default:
        return ErrorKind::system;
    }
}

// A failed system call: "what: strerror(code)", of the kind the call's error
// tells.
inline Error systemError(std::string_view what, int code = errno)
{
    std::string text(what);
    if (!text.empty())
        text += ": ";
    text += std::strerror(code);
    return Error{std::move(text), kindOfSystemError(code), code};
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
