// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#pragma once

#include <QAbstractListModel>
#include <QByteArrayList>

// The entries of the archive list: each archive's file name as the file
// system's bytes, which lead back to the file, shown as well as they can be
// read. The order is the order given, unsorted.
class ArchiveNamesModel : public QAbstractListModel
{
    Q_OBJECT

public:
    using QAbstractListModel::QAbstractListModel;

    // Replaces every entry; the views' selections go with them.
    void setFileNames(const QByteArrayList &names);
    const QByteArrayList &fileNames() const { return names; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    QByteArrayList names;
};
