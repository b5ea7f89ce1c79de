// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "drives.h"

#include "platform.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

QStringList readyMountPoints()
{
    QStringList mountPoints;
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes()) {
        if (volume.isValid() && volume.isReady() && QFileInfo(volume.rootPath()).isDir())
            mountPoints << QDir::cleanPath(volume.rootPath());
    }
    mountPoints.sort();
    mountPoints.removeDuplicates();
    return mountPoints;
}

QString driveHolding(const QString &path, const QStringList &drives)
{
    const QString text = QDir::cleanPath(path);
    QString holding;
    for (const QString &drive : drives) {
        const bool holds = drive == platform::rootText || text == drive ||
                           text.startsWith(drive + platform::separator);
        if (holds && drive.size() > holding.size())
            holding = drive;
    }
    return holding;
}
