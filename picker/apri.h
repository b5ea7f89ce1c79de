#pragma once

#include "backdropwindow.h"

class DirectoryList;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The directory picker: a drive list and a directory list from which the user
// picks a directory for one of the main window's two directory fields. While
// it is open the main window is hidden; both of its buttons, and closing it
// through the frame, bring the main window back.
class apri : public BackdropWindow
{
    Q_OBJECT

public:
    // mainWindow is hidden while the picker is open and shown again when it
    // closes; "&OK" writes into origine or destinazione, as the flag says.
    apri(QWidget *mainWindow, QLineEdit *origine, QLineEdit *destinazione,
         QWidget *parent = nullptr);

    // The field "&OK" fills: 0 for origine, 1 for destinazione.
    void setTargetFlag(int flag);

protected:
    void closeEvent(QCloseEvent *event) override;

private slots:
    void Drive1_Change();
    void ok_Click();
    void Command1_Click();

private:
    void Form_Load();

    void createDriveList();
    void createButtons();
    void createDirectoryList();
    void createFlag();
    void setTabOrder();
    void returnToMainWindow();

    QWidget *mainWindow;
    QLineEdit *origine;
    QLineEdit *destinazione;
    QString shownDrive;

    QComboBox *Drive1;
    QPushButton *Command1;
    QPushButton *ok;
    DirectoryList *Direct;
    QLabel *cosa;
};
