#pragma once

#include "backdropwindow.h"

class DirectoryList;
class QComboBox;
class QLineEdit;
class QPushButton;

// Which of the main window's two directory fields the picker fills.
enum class PickerTarget { Source, Destination };

// The directory picker: a drive list and a directory list from which the user
// picks a directory for one of the main window's two directory fields. While
// it is open the main window is hidden; both of its buttons, and closing it
// through the frame, bring the main window back.
class DirectoryPicker : public BackdropWindow
{
    Q_OBJECT

public:
    // mainWindow is hidden while the picker is open and shown again when it
    // closes; "&OK" writes into sourceField or destinationField, as the target says.
    DirectoryPicker(QWidget *mainWindow, QLineEdit *sourceField, QLineEdit *destinationField,
                    QWidget *parent = nullptr);

    // The field "&OK" fills.
    void setTarget(PickerTarget newTarget);

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
    void returnToMainWindow();

    QWidget *mainWindow;
    QLineEdit *sourceField;
    QLineEdit *destinationField;
    PickerTarget target = PickerTarget::Source;
    QString shownDrive;

    QComboBox *driveList;
    QPushButton *cancelButton;
    QPushButton *okButton;
    DirectoryList *directoryTree;
};
