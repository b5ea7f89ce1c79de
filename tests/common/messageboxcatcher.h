// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#pragma once

#include <QObject>
#include <QStringList>
#include <QTimer>

// Closes every modal message box shortly after it opens and keeps its text,
// so a test can check what the user would have been told while the code
// under test runs on as it would after the user pressed OK.
class MessageBoxCatcher : public QObject
{
    Q_OBJECT

public:
    MessageBoxCatcher();

    QStringList texts;
    // By the same index: each box's detailed text and its height in pixels.
    QStringList detailedTexts;
    QList<int> heights;

private:
    void closeOpenBox();

    QTimer poll;
};
