// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "failure.h"

#include <cerrno>
#include <cstring>

// The message has always given every failure a number and the system's text
// for it; a failure of one of the program's own rules shows the system error
// that comes nearest to it.
static int shownErrorNumber(const Failure &failure)
{
    switch (failure.kind) {
    case FailureKind::NameTooShortForFolder:
    case FailureKind::FolderNameEmpty:
        return EINVAL;
    case FailureKind::SettingsEndEarly:
        return ENODATA;
    case FailureKind::NameNotText:
        return EILSEQ;
    case FailureKind::NotRegularFile:
    case FailureKind::SettingsCannotHold:
    case FailureKind::SettingsDamaged:
        return EINVAL;
    case FailureKind::System:
        break;
    }
    return failure.systemError;
}

QString failureMessage(const Failure &failure)
{
    const int number = shownErrorNumber(failure);
    return QStringLiteral("%1\n\n%2: %3")
        .arg(failure.operation)
        .arg(number)
        .arg(QString::fromLocal8Bit(std::strerror(number)));
}
