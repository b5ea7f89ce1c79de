// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "errorreport.h"

#include "programtitle.h"

#include <QMessageBox>

void reportFailure(QWidget *parent, const Failure &failure)
{
    QMessageBox::critical(parent, programTitle, failureMessage(failure));
}
