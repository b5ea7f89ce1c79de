// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#pragma once

#include <QString>

// What stopped an operation: the system refused it, or a name or a file did
// not meet one of the program's own rules.
enum class FailureKind {
    System,                // Failure::systemError holds the system's error number
    NameTooShortForFolder, // an archive name of fewer than four characters has no folder
    FolderNameEmpty,       // an archive name that gives a folder name of nothing at all
    SettingsEndEarly,      // a settings file ends before its second directory
    NameNotText,           // a path whose bytes are not valid UTF-8 cannot go into a text field
    NotRegularFile,        // a file to read is a pipe, a device or a socket, which may never end
    SettingsCannotHold,    // a directory text the settings file cannot hold unchanged
    SettingsDamaged,       // a settings file holds what no save writes
};

// A failed operation as the user is told of it: what the program was doing and
// what stopped it.
struct Failure
{
    QString operation;
    FailureKind kind = FailureKind::System;
    int systemError = 0;

    static Failure fromErrno(const QString &operation, int errorNumber)
    {
        return {operation, FailureKind::System, errorNumber};
    }

    static Failure ofKind(const QString &operation, FailureKind kind) { return {operation, kind}; }

    bool isSystemError(int errorNumber) const
    {
        return kind == FailureKind::System && systemError == errorNumber;
    }
};

// The text the user is shown for a failure: the operation, a blank line, then
// an error number and the system's text for it ("2: No such file or
// directory").
QString failureMessage(const Failure &failure);
