#pragma once

#include "backdropwindow.h"
#include "colourcycle.h"

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
    // programDirectory is where the extractor and the settings file are found.
    explicit Form1(const QString &programDirectory, QWidget *parent = nullptr);

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

    void createTimer();
    void createButtons();
    void createFields();
    void createList();
    void createPictures();
    void createLabels();
    void setTabOrder();

    QString programDirectory;
    ColourCycle colours;

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
