#pragma once

#include "backdropwindow.h"
#include "colourcycle.h"
#include "failure.h"

#include <memory>
#include <optional>

class apri;

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QListView;
class QPushButton;
class QStringListModel;
class QTimer;

// The main window: the one window open at start, from which every command is
// given. It holds the controls under their own names and one handler per
// event; the work behind each handler lives in the logic libraries.
class Form1 : public BackdropWindow
{
    Q_OBJECT

public:
    // programDirectory is where the extractor is found; the settings file is
    // found from it once, as the window opens.
    explicit Form1(const QString &programDirectory, QWidget *parent = nullptr);
    ~Form1() override;

protected:
    void closeEvent(QCloseEvent *event) override;

private slots:
    void browse_Click();
    void Command3_Click();
    void cmdsalva_Click();
    void Command2_Click();
    void refresh_Click();
    void Tutto_Click();
    void niente_Click();
    void vai_Click();
    void Command1_Click();
    void Timer1_Timer();

private:
    void Form_Load();
    // Refills lista with the archives of the directory in origine, none
    // selected; a directory that cannot be read leaves it empty and is reported.
    void FillZipList();
    // Selects or deselects every entry of lista, changing nothing else.
    void selectEveryEntry(bool selected);

    // Writes the texts of origine and destinazione to the settings file.
    std::optional<Failure> SaveSettings();
    // Puts the directories of the settings file into origine and
    // destinazione; on a failure both keep their texts.
    std::optional<Failure> LoadSettings();

    void createTimer();
    void createButtons();
    void createFields();
    void createList();
    void createPictures();
    void createLabels();
    void setTabOrder();
    void openPicker(int targetFlag);

    QString programDirectory;
    QString settingsPath;
    ColourCycle colours;
    std::unique_ptr<apri> picker;

    QTimer *Timer1;
    QCheckBox *checkdir;
    QPushButton *Command3;
    QPushButton *browse;
    QPushButton *Command2;
    QPushButton *cmdsalva;
    QPushButton *Command1;
    QPushButton *niente;
    QPushButton *Tutto;
    QPushButton *refresh;
    QListView *lista;
    QStringListModel *listaEntries;
    QPushButton *vai;
    QLineEdit *destinazione;
    QLineEdit *origine;
    QLabel *Image3;
    QLabel *Label5;
    QFrame *Line1;
    QLabel *Label4;
    QLabel *Label3;
    QLabel *Label1;
    QLabel *Label2;
    QLabel *Image1;
};
