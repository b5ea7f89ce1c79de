// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#pragma once

#include "backdropwindow.h"

class DirectoryList;
class QComboBox;
class QPushButton;

// The directory picker: a drive list and a directory list from which the user
// picks a directory. "&OK" hands back the directory shown and closes the
// picker; "&ANNULLA" and closing it through the frame close it without a
// choice. Closing only hides it, so it keeps its drive and directory for the
// next opening.
class DirectoryPicker : public BackdropWindow
{
    Q_OBJECT

public:
    explicit DirectoryPicker(QWidget *parent = nullptr);

signals:
    // The user confirmed directory, as the text that names it exactly; closed
    // follows.
    void directoryChosen(const QString &directory);
    // The picker has closed, after a choice or without one.
    void closed();

protected:
    void closeEvent(QCloseEvent *event) override;

private slots:
    void driveChanged();
    void confirm();
    void cancel();

private:
    void showRootDirectory();

    void createDriveList();
    void createButtons();
    void createDirectoryList();
    void setTabOrder();
    void finish();

    QString shownDrive;

    QComboBox *driveList;
    QPushButton *cancelButton;
    QPushButton *okButton;
    DirectoryList *directoryTree;
};
