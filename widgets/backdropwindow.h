// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#pragma once

#include <QWidget>

// A fixed-size top-level window drawn over the shared background picture,
// which is shown at its own size from the top-left corner and never scaled.
// Both windows of the program are one.
class BackdropWindow : public QWidget
{
    Q_OBJECT

public:
    // Places the client area at (left, top) on the screen with the given size.
    BackdropWindow(const QString &caption, const QRect &clientArea, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};

// Converts a rectangle given in twips (15 to a pixel) into pixels.
constexpr QRect twips(int left, int top, int width, int height)
{
    return QRect(left / 15, top / 15, width / 15, height / 15);
}
