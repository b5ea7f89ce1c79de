#include "apri.h"

#include "directorylist.h"
#include "drives.h"
#include "errorreport.h"
#include "picturebutton.h"
#include "platform.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>

apri::apri(QWidget *mainWindow, QLineEdit *origine, QLineEdit *destinazione, QWidget *parent)
    : BackdropWindow(QStringLiteral("Seleziona la directory"), twips(4125, 2085, 3630, 4875),
                     parent),
      mainWindow(mainWindow), origine(origine), destinazione(destinazione)
{
    setObjectName(QStringLiteral("apri"));

    createDriveList();
    createButtons();
    createDirectoryList();
    createFlag();
    setTabOrder();
    Drive1->setFocus();

    Form_Load();
}

void apri::createDriveList()
{
    Drive1 = new QComboBox(this);
    Drive1->setObjectName(QStringLiteral("Drive1"));
    Drive1->setGeometry(twips(135, 165, 3360, 315));
    Drive1->addItems(readyMountPoints());
    Drive1->setCurrentIndex(Drive1->findText(mountPointHolding(QDir::currentPath())));
    shownDrive = Drive1->currentText();
    // activated, unlike currentIndexChanged, comes only from the user's pick.
    connect(Drive1, &QComboBox::activated, this, &apri::Drive1_Change);
}

void apri::createButtons()
{
    Command1 = new PictureButton(QStringLiteral("&ANNULLA"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(twips(1800, 4320, 1695, 495));
    connect(Command1, &QPushButton::clicked, this, &apri::Command1_Click);

    ok = new PictureButton(QStringLiteral("&OK"), this);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setGeometry(twips(120, 4320, 1695, 495));
    connect(ok, &QPushButton::clicked, this, &apri::ok_Click);
}

void apri::createDirectoryList()
{
    Direct = new DirectoryList(this);
    Direct->setObjectName(QStringLiteral("Direct"));
    Direct->setGeometry(twips(120, 525, 3375, 3465));
}

void apri::createFlag()
{
    cosa = new QLabel(QStringLiteral("Label1"), this);
    cosa->setObjectName(QStringLiteral("cosa"));
    cosa->setGeometry(twips(1815, -15, 915, 285));
    cosa->hide();
}

void apri::setTabOrder()
{
    QWidget::setTabOrder(Drive1, Direct);
    QWidget::setTabOrder(Direct, ok);
    QWidget::setTabOrder(ok, Command1);
}

void apri::setTargetFlag(int flag)
{
    cosa->setText(QString::number(flag));
}

void apri::returnToMainWindow()
{
    hide();
    mainWindow->show();
}

// The frame's close box cancels, so the program never runs without a window.
void apri::closeEvent(QCloseEvent *event)
{
    Command1_Click();
    event->ignore();
}

void apri::Form_Load()
{
    if (const auto failure = Direct->setPath(platform::rootText))
        reportFailure(this, *failure);
}

void apri::Drive1_Change()
{
    if (const auto failure = Direct->setPath(Drive1->currentText())) {
        Drive1->setCurrentIndex(Drive1->findText(shownDrive));
        reportFailure(this, *failure);
        return;
    }
    shownDrive = Drive1->currentText();
}

void apri::ok_Click()
{
    if (cosa->text().toInt() == 0) {
        origine->setText(Direct->currentPath());
        returnToMainWindow();
    }
    if (cosa->text().toInt() == 1) {
        destinazione->setText(Direct->currentPath());
        returnToMainWindow();
    }
}

void apri::Command1_Click()
{
    returnToMainWindow();
}
