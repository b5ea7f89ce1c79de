#include "drives.h"

#include "directorypaths.h"

#include <QFileInfo>
#include <QStorageInfo>

QStringList readyMountPoints()
{
    QStringList mountPoints;
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes()) {
        if (volume.isValid() && volume.isReady() && QFileInfo(volume.rootPath()).isDir())
            mountPoints << pathText(volume.rootPath());
    }
    mountPoints.sort();
    mountPoints.removeDuplicates();
    return mountPoints;
}

QString mountPointHolding(const QString &path)
{
    return pathText(QStorageInfo(path).rootPath());
}
