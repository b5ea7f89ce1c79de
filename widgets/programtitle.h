#pragma once

#include <QString>

// The program's name and version: the title of the main window and of every
// message box.
inline const QString programTitle = QStringLiteral("The Vrillo V1.1");
