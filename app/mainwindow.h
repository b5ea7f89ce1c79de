// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#pragma once

#include "backdropwindow.h"
#include "colourcycle.h"
#include "directorypicker.h"
#include "programcopy.h"
#include "result.h"

#include <memory>

struct BatchRequest;
struct BatchReport;

class ArchiveNamesModel;
class QCheckBox;
class QLabel;
class QLineEdit;
class QListView;
class QPushButton;

// The main window: the one window open at start, from which every command is
// given. Its controls keep their design names as object names ("lista",
// "vai", ...); the work behind each command lives in the logic libraries.
class MainWindow : public BackdropWindow
{
    Q_OBJECT

public:
    // programDirectory is where the extractor is found; the settings file of
    // copy is found from it once, as the window opens.
    explicit MainWindow(const QString &programDirectory, ProgramCopy copy = ProgramCopy::Portable,
                        QWidget *parent = nullptr);
    ~MainWindow() override;

protected:
    void closeEvent(QCloseEvent *event) override;

private slots:
    void pickSource();
    void pickDestination();
    void saveSettings();
    void loadSettings();
    // Refills the archive list with the archives of the source directory, none
    // selected; a directory that cannot be read leaves it empty and is reported.
    void fillZipList();
    void selectAll();
    void deselectAll();
    void extractSelected();
    void exitProgram();
    void recolourContact();

private:
    // A missing settings file at start is a first run and goes unreported.
    void loadSettingsAtStart();
    // Selects or deselects every entry of the archive list, changing nothing else.
    void setEveryEntrySelected(bool selected);

    // Writes the texts of both directory fields to the settings file.
    Result<void> saveDirectories();
    // Puts the directories of the settings file into both directory fields; on
    // a failure both keep their texts.
    Result<void> loadDirectories();

    void showBatchReport(const BatchReport &report);

    // What the batch works on, as the window shows it now.
    BatchRequest batchRequest() const;

    void createTimer();
    void createButtons();
    void createFields();
    void createList();
    void createPictures();
    void createLabels();
    void setTabOrder();
    // Hides the main window while the picker is open; "&OK" in the picker
    // writes its directory into field.
    void openPicker(QLineEdit *field);
    void createPicker();

    QString programDirectory;
    QString settingsPath;
    // Set while a batch runs: a button can still be clicked then without any
    // input event, by a screen reader's press action or by the delayed click
    // of a key shortcut typed just before, and such a click is dropped too.
    bool batchRunning = false;
    ColourCycle colours;
    std::unique_ptr<DirectoryPicker> picker;
    // The directory field the open picker fills.
    QLineEdit *pickerField = nullptr;

    QCheckBox *folderPerArchiveBox;
    QPushButton *destinationButton;
    QPushButton *sourceButton;
    QPushButton *loadButton;
    QPushButton *saveButton;
    QPushButton *exitButton;
    QPushButton *deselectAllButton;
    QPushButton *selectAllButton;
    QPushButton *refreshButton;
    QListView *archiveList;
    ArchiveNamesModel *archiveNames;
    QPushButton *extractButton;
    QLineEdit *destinationField;
    QLineEdit *sourceField;
    QLabel *emailLabel;
};
