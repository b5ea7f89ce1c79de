// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "picturebutton.h"

#include <QPainter>
#include <QPixmap>
#include <QStyleOptionFocusRect>
#include <qdrawutil.h>

static const QPixmap &buttonPicture()
{
    static const QPixmap picture(QStringLiteral(":/pictures/button.jpg"));
    return picture;
}

PictureButton::PictureButton(const QString &caption, QWidget *parent) : QPushButton(caption, parent)
{
    // Outside a dialog a Qt button reacts to Enter only when it is auto-default;
    // no window of the program has a default button, so this changes nothing else.
    setAutoDefault(true);
}

void PictureButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QRect face = rect();
    painter.drawPixmap(face, buttonPicture());
    qDrawShadePanel(&painter, face, palette(), isDown(), 1);

    const QRect captionRect = isDown() ? face.translated(1, 1) : face;
    style()->drawItemText(&painter, captionRect,
                          Qt::AlignCenter | Qt::TextShowMnemonic | Qt::TextWordWrap, palette(),
                          isEnabled(), text(), QPalette::ButtonText);

    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = face.adjusted(3, 3, -3, -3);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
}
