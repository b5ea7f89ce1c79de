// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "directorylist.h"

#include "directorypaths.h"
#include "errorreport.h"
#include "platform.h"

#include <QKeyEvent>

// Each entry keeps the full path it stands for.
static constexpr int pathRole = Qt::UserRole;

DirectoryList::DirectoryList(QWidget *parent) : QTreeWidget(parent)
{
    setHeaderHidden(true);
    setColumnCount(1);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setExpandsOnDoubleClick(false);
    setIndentation(10);
    setUniformRowHeights(true);
    connect(this, &QTreeWidget::itemDoubleClicked, this, &DirectoryList::openEntry);
}

QByteArray DirectoryList::currentPath() const
{
    return path;
}

Result<void> DirectoryList::setPath(const QByteArray &newPath)
{
    const QByteArray target = pathText(newPath);
    const Result<QByteArrayList> subdirectories = listSubdirectories(target);
    if (!subdirectories)
        return subdirectories.failure();
    showTree(target, *subdirectories);
    return {};
}

void DirectoryList::showTree(const QByteArray &target, const QByteArrayList &subdirectories)
{
    clear();
    path = target;

    const QIcon openFolder = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closedFolder = style()->standardIcon(QStyle::SP_DirClosedIcon);

    QTreeWidgetItem *above = nullptr;
    for (const QByteArray &directory : pathChain(target)) {
        const QString name = above ? shownFileName(directory.mid(
                                         directory.lastIndexOf(platform::separator.toLatin1()) + 1))
                                   : platform::rootText;
        auto *item = above ? new QTreeWidgetItem(above) : new QTreeWidgetItem(this);
        item->setText(0, name);
        item->setIcon(0, openFolder);
        item->setData(0, pathRole, directory);
        item->setExpanded(true);
        above = item;
    }
    for (const QByteArray &name : subdirectories) {
        auto *item = new QTreeWidgetItem(above);
        item->setText(0, shownFileName(name));
        item->setIcon(0, closedFolder);
        item->setData(0, pathRole, childPath(target, name));
    }
    setCurrentItem(above);
    scrollToItem(above);
}

void DirectoryList::openEntry(QTreeWidgetItem *item)
{
    if (!item)
        return;
    if (const Result<void> opened = setPath(item->data(0, pathRole).toByteArray()); !opened)
        reportFailure(window(), opened.failure());
}

void DirectoryList::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        openEntry(currentItem());
        event->accept();
        return;
    }
    QTreeWidget::keyPressEvent(event);
}
