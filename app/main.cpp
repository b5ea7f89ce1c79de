// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "childprocess.h"
#include "mainwindow.h"
#include "platform.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    restoreChildSignalDefault();
    QApplication app(argc, argv);
    MainWindow window(platform::programDirectory());
    window.show();
    return app.exec();
}
