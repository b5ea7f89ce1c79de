// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "messageboxcatcher.h"

#include <QApplication>
#include <QMessageBox>

MessageBoxCatcher::MessageBoxCatcher()
{
    poll.setInterval(5);
    connect(&poll, &QTimer::timeout, this, &MessageBoxCatcher::closeOpenBox);
    poll.start();
}

void MessageBoxCatcher::closeOpenBox()
{
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (!box)
        return;
    texts << box->text();
    detailedTexts << box->detailedText();
    heights << box->frameGeometry().height();
    box->done(QMessageBox::Ok);
}
