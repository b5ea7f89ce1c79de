#pragma once

#include "failure.h"

class QWidget;

// The text shown for a failure: the operation, a blank line, then
// "number: text".
QString failureMessage(const Failure &failure);

// Tells the user of a failure in a modal message box over parent. The caller
// abandons the rest of its handler; the program itself goes on.
void reportFailure(QWidget *parent, const Failure &failure);
