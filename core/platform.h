#pragma once

#include <QCoreApplication>
#include <QString>

// The few things that tie the program to the platform it runs on. A port to
// another system changes this header and nothing else.
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
