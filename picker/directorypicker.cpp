// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "directorypicker.h"

#include "directorylist.h"
#include "directorynames.h"
#include "drives.h"
#include "errorreport.h"
#include "picturebutton.h"
#include "platform.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFile>

DirectoryPicker::DirectoryPicker(QWidget *parent)
    : BackdropWindow(QStringLiteral("Seleziona la directory"), twips(4125, 2085, 3630, 4875),
                     parent)
{
    setObjectName(QStringLiteral("apri"));

    createDriveList();
    createButtons();
    createDirectoryList();
    setTabOrder();
    driveList->setFocus();

    showRootDirectory();
}

void DirectoryPicker::createDriveList()
{
    driveList = new QComboBox(this);
    driveList->setObjectName(QStringLiteral("Drive1"));
    driveList->setGeometry(twips(135, 165, 3360, 315));
    // Neither list has a caption, so screen readers are told what each holds.
    // Qt on Linux names a drop-down list by its current entry, whatever name
    // it is given; the description still says what the list is.
    driveList->setAccessibleName(QStringLiteral("Unità"));
    driveList->setAccessibleDescription(QStringLiteral("L'unità in cui scegliere la directory"));
    const QStringList drives = readyMountPoints();
    driveList->addItems(drives);
    driveList->setCurrentIndex(drives.indexOf(driveHolding(QDir::currentPath(), drives)));
    shownDrive = driveList->currentText();
    // activated, unlike currentIndexChanged, comes only from the user's pick.
    connect(driveList, &QComboBox::activated, this, &DirectoryPicker::driveChanged);
}

void DirectoryPicker::createButtons()
{
    cancelButton = new PictureButton(QStringLiteral("&ANNULLA"), this);
    cancelButton->setObjectName(QStringLiteral("Command1"));
    cancelButton->setGeometry(twips(1800, 4320, 1695, 495));
    cancelButton->setAccessibleDescription(QStringLiteral("Chiude senza scegliere una directory"));
    connect(cancelButton, &QPushButton::clicked, this, &DirectoryPicker::cancel);

    okButton = new PictureButton(QStringLiteral("&OK"), this);
    okButton->setObjectName(QStringLiteral("ok"));
    okButton->setGeometry(twips(120, 4320, 1695, 495));
    okButton->setAccessibleDescription(QStringLiteral("Sceglie la directory aperta"));
    connect(okButton, &QPushButton::clicked, this, &DirectoryPicker::confirm);
}

void DirectoryPicker::createDirectoryList()
{
    directoryTree = new DirectoryList(this);
    directoryTree->setObjectName(QStringLiteral("Direct"));
    directoryTree->setGeometry(twips(120, 525, 3375, 3465));
    directoryTree->setAccessibleName(QStringLiteral("Directory"));
    directoryTree->setAccessibleDescription(QStringLiteral(
        "Doppio clic o Invio su una directory per aprirla; OK sceglie quella aperta"));
}

void DirectoryPicker::setTabOrder()
{
    QWidget::setTabOrder(driveList, directoryTree);
    QWidget::setTabOrder(directoryTree, okButton);
    QWidget::setTabOrder(okButton, cancelButton);
}

void DirectoryPicker::finish()
{
    hide();
    emit closed();
}

// The frame's close box cancels, and the window is only hidden, so whoever
// opened the picker hears of it as of any other closing.
void DirectoryPicker::closeEvent(QCloseEvent *event)
{
    cancel();
    event->ignore();
}

void DirectoryPicker::showRootDirectory()
{
    if (const Result<void> shown = directoryTree->setPath(QFile::encodeName(platform::rootText));
        !shown)
        reportFailure(this, shown.failure());
}

void DirectoryPicker::driveChanged()
{
    // Picking the drive already shown is no change, and where the user has
    // moved on it is kept.
    if (driveList->currentText() == shownDrive)
        return;
    const Result<void> shown = directoryTree->setPath(QFile::encodeName(driveList->currentText()));
    if (!shown) {
        driveList->setCurrentIndex(driveList->findText(shownDrive));
        reportFailure(this, shown.failure());
        return;
    }
    shownDrive = driveList->currentText();
}

// A path that is not valid UTF-8 would change on its way into a text field
// and name another directory, or none; the user is told and can pick again.
void DirectoryPicker::confirm()
{
    const QByteArray path = directoryTree->currentPath();
    const std::optional<QString> text = exactFileNameText(path);
    if (!text) {
        reportFailure(
            this, Failure::ofKind(QStringLiteral("Impossibile scrivere nel campo il percorso %1 "
                                                 "senza cambiarlo: il suo nome non è testo valido")
                                      .arg(shownFileName(path)),
                                  FailureKind::NameNotText));
        return;
    }
    emit directoryChosen(*text);
    finish();
}

void DirectoryPicker::cancel()
{
    finish();
}
