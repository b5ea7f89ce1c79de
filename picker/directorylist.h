// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#pragma once

#include "result.h"

#include <QTreeWidget>

// The directory list: the chain of directories from the root down to the
// current path, each inside the one above, and under the current path its
// subdirectories. Only directories are shown. A double click or Enter on an
// entry makes it the current path.
class DirectoryList : public QTreeWidget
{
    Q_OBJECT

public:
    explicit DirectoryList(QWidget *parent = nullptr);

    // The current path as the file system's bytes, in text form: absolute, no
    // trailing "/", the root "/".
    QByteArray currentPath() const;

    // Makes path the current path and shows the tree around it. When path
    // cannot be read, the list stays as it was and the failure is returned.
    Result<void> setPath(const QByteArray &path);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void openEntry(QTreeWidgetItem *item);
    void showTree(const QByteArray &target, const QByteArrayList &subdirectories);

    QByteArray path;
};
