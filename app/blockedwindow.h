// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#pragma once

#include <QObject>

class QWidget;

// While it lives, the program acts on no user input, as a window blocked by
// a long task should, yet goes on painting and answering the desktop:
// clicks, keys, wheel turns and the like made meanwhile are dropped, never
// kept for later; a request to close window (its frame's close box) is
// remembered instead of carried out; the busy cursor shows over the
// program's windows. Everything else, timers included, goes on as usual.
class BlockedWindow : public QObject
{
public:
    explicit BlockedWindow(QWidget *window);
    ~BlockedWindow() override;
    BlockedWindow(const BlockedWindow &) = delete;
    BlockedWindow &operator=(const BlockedWindow &) = delete;

    // Whether the user asked to close the window while it was blocked.
    bool closeRequested() const { return closeWasRequested; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *window;
    bool closeWasRequested = false;
};
