// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#pragma once

#include <QString>

// The program's name and version: the title of the main window and of every
// message box.
inline const QString programTitle = QStringLiteral("The Vrillo V1.1");
