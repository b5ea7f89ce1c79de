// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "childprocess.h"
#include "mainwindow.h"
#include "platform.h"

#include <QApplication>

// The package builds this file a second time with VRILLO_INSTALLED_COPY
// defined, for the copy it installs.
#ifdef VRILLO_INSTALLED_COPY
static const ProgramCopy thisCopy = ProgramCopy::Installed;
#else
static const ProgramCopy thisCopy = ProgramCopy::Portable;
#endif

int main(int argc, char *argv[])
{
    restoreChildSignalDefault();
    QApplication app(argc, argv);
    MainWindow window(platform::programDirectory(), thisCopy);
    window.show();
    return app.exec();
}
