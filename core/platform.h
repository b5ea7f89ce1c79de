// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#pragma once

#include <QCoreApplication>
#include <QString>

// The few constants that tie the program to the platform it runs on. A port
// to another system starts here, but does not end here: the system calls
// themselves (POSIX) are made where the work needs them, each in a .cpp file
// (reading a directory, making a folder, reading, placing and converting the
// settings file, starting the extractor and waiting for it), and no header
// names a POSIX type.
namespace platform {

// Put between a directory text and the name that follows it.
inline const QString separator = QStringLiteral("/");

// What both directory fields hold before any settings are loaded.
inline const QString rootText = QStringLiteral("/");

// The extractor started once per archive, found in the program's directory.
inline const QString extractorName = QStringLiteral("pkunzip");

// The directory that holds the running executable.
inline QString programDirectory()
{
    return QCoreApplication::applicationDirPath();
}

} // namespace platform
