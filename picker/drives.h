// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#pragma once

#include <QString>
#include <QStringList>

// The drives of the machine, as the drive list shows them: the mount points
// of its mounted file systems.

// The mount points of the file systems that are mounted and ready, in text
// form and sorted, each once. Mount points that are not directories (single
// files bound into place) are left out, since a directory list cannot show them.
QStringList readyMountPoints();

// The drive of drives that holds path: the one whose root is the longest
// prefix of path by whole names ("/home" holds "/home/user", not
// "/homework"). The root "/" holds every path, so a path on a file system the
// list leaves out still finds a drive above it. Empty only when no drive holds path.
QString driveHolding(const QString &path, const QStringList &drives);
