// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "archivenamesmodel.h"

#include "directorynames.h"

void ArchiveNamesModel::setFileNames(const QByteArrayList &newNames)
{
    beginResetModel();
    names = newNames;
    endResetModel();
}

int ArchiveNamesModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(names.size());
}

QVariant ArchiveNamesModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= names.size() || role != Qt::DisplayRole)
        return {};
    return shownFileName(names[index.row()]);
}
