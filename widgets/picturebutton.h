// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#pragma once

#include <QPushButton>

// A command button whose face is the shared button picture, scaled to the
// button, with the caption drawn over it. Like every button of the program it
// answers Enter and Space when it has the focus.
class PictureButton : public QPushButton
{
    Q_OBJECT

public:
    explicit PictureButton(const QString &caption, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};
