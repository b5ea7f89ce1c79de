// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#pragma once

#include "failure.h"

class QWidget;

// Tells the user of a failure, its failureMessage, in a modal message box over
// parent. The caller abandons the rest of its handler; the program itself goes
// on.
void reportFailure(QWidget *parent, const Failure &failure);
