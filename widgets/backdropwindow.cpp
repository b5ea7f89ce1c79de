// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "backdropwindow.h"

#include <QFont>
#include <QPainter>
#include <QPixmap>

static const QPixmap &backgroundPicture()
{
    static const QPixmap picture(QStringLiteral(":/pictures/background.jpg"));
    return picture;
}

// The layout was drawn for a small dialog font: "Contattatemi a" fits in 69
// pixels. The desktop's usual font is much wider, so both windows use a narrow
// face of about that size, and every control inherits it.
static QFont dialogFont()
{
    QFont font(QStringLiteral("Nimbus Sans Narrow"));
    font.setPixelSize(11);
    return font;
}

BackdropWindow::BackdropWindow(const QString &caption, const QRect &clientArea, QWidget *parent)
    : QWidget(parent)
{
    setWindowTitle(caption);
    setFont(dialogFont());
    setGeometry(clientArea);
    setFixedSize(clientArea.size());
}

void BackdropWindow::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.drawPixmap(0, 0, backgroundPicture());
}
