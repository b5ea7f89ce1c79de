#pragma once

#include <QString>
#include <QStringList>

// The drives of the machine, as the drive list shows them: the mount points
// of its mounted file systems.

// The mount points of the file systems that are mounted and ready, in text
// form and sorted, each once. Mount points that are not directories (single
// files bound into place) are left out, since a directory list cannot show them.
QStringList readyMountPoints();

// The mount point of the file system that holds path.
QString mountPointHolding(const QString &path);
