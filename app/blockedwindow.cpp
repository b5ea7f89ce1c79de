// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "blockedwindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QWidget>

BlockedWindow::BlockedWindow(QWidget *window) : window(window)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    qApp->installEventFilter(this);
}

BlockedWindow::~BlockedWindow()
{
    qApp->removeEventFilter(this);
    QApplication::restoreOverrideCursor();
}

// Mouse, key, wheel, touch, tablet and context-menu events are all input
// events. Text from an input method and a key shortcut are not, though they
// come from typing: a shortcut is tried before its key press is delivered.
// Nor is a drag from another program, which the mouse makes: refused as it
// enters and moves, it is never dropped.
bool BlockedWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->isInputEvent() || event->type() == QEvent::InputMethod ||
        event->type() == QEvent::Shortcut || event->type() == QEvent::DragEnter ||
        event->type() == QEvent::DragMove || event->type() == QEvent::Drop)
        return true;
    if (event->type() == QEvent::Close && watched == window) {
        closeWasRequested = true;
        event->ignore();
        return true;
    }
    return false;
}
