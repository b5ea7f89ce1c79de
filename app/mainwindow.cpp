// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "mainwindow.h"

#include "archivelist.h"
#include "archivenamesmodel.h"
#include "batch.h"
#include "batchreport.h"
#include "blockedwindow.h"
#include "errorreport.h"
#include "picturebutton.h"
#include "platform.h"
#include "programtitle.h"
#include "settingsfile.h"
#include "settingsplace.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QIcon>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QScopedValueRollback>
#include <QTimer>

static const QColor labelBlue(0, 0, 255);

template <typename Control>
static Control *place(Control *control, const char *name, const QRect &geometry)
{
    control->setObjectName(QLatin1String(name));
    control->setGeometry(geometry);
    return control;
}

static QLabel *coloured(QWidget *parent, const char *name, int left, int top, const QString &text,
                        const QString &toolTip, const QColor &colour)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setToolTip(toolTip);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    label->move(left / 15, top / 15);
    label->adjustSize();
    return label;
}

MainWindow::MainWindow(const QString &programDirectory, ProgramCopy copy, QWidget *parent)
    : BackdropWindow(programTitle, twips(2595, 2325, 6480, 4470), parent),
      programDirectory(programDirectory),
      settingsPath(settingsFileOfProgram(programDirectory, copy))
{
    setObjectName(QStringLiteral("Form1"));
    setWindowIcon(QIcon(QStringLiteral(":/pictures/vrillo.ico")));

    createTimer();
    createButtons();
    createList();
    createFields();
    createPictures();
    createLabels();
    setTabOrder();
    archiveList->setFocus();

    loadSettingsAtStart();
}

void MainWindow::createTimer()
{
    auto *timer = new QTimer(this);
    timer->setObjectName(QStringLiteral("Timer1"));
    timer->setInterval(500);
    connect(timer, &QTimer::timeout, this, &MainWindow::recolourContact);
    timer->start();
}

void MainWindow::createButtons()
{
    folderPerArchiveBox = place(new QCheckBox(QStringLiteral("Crea D&IR"), this), "checkdir",
                                twips(2400, 4215, 960, 195));
    folderPerArchiveBox->setChecked(true);
    folderPerArchiveBox->setAccessibleDescription(
        QStringLiteral("Scompatta ogni archivio in una cartella nuova che porta il suo nome, al "
                       "più i primi otto caratteri"));
    // Some desktop styles ignore a palette's background on check boxes; a style
    // sheet is painted by every style.
    folderPerArchiveBox->setStyleSheet(
        QStringLiteral("QCheckBox { background-color: rgb(255, 0, 0); }"));

    struct ButtonRow
    {
        QPushButton *MainWindow::*member;
        const char *name;
        QRect geometry;
        const char *caption;
        const char *toolTip;
        void (MainWindow::*handler)();
    };
    const ButtonRow rows[] = {
        {&MainWindow::destinationButton, "Command3", twips(3450, 2280, 3015, 315),
         "Scegli la directory di destinazio&ne",
         "Clicca qui per indicare dove devono scompattarsi i files ZIP",
         &MainWindow::pickDestination},
        {&MainWindow::sourceButton, "browse", twips(3450, 1440, 3015, 315),
         "Scegli la directory degli &ZIP",
         "Cliccare qui per indicare dove si trovano i file ZIPPATI", &MainWindow::pickSource},
        {&MainWindow::loadButton, "Command2", twips(5370, 2715, 1095, 525), "&Carica Impostazioni",
         "Carica le impostazioni delle directory precedentemente salvate",
         &MainWindow::loadSettings},
        {&MainWindow::saveButton, "cmdsalva", twips(3450, 2715, 1095, 525), "&Salva  Impostazioni",
         "Salva le impostazioni correnti delle directory", &MainWindow::saveSettings},
        {&MainWindow::exitButton, "Command1", twips(3450, 4080, 3015, 375), "&Esci",
         "Esci dal programma", &MainWindow::exitProgram},
        {&MainWindow::deselectAllButton, "niente", twips(5010, 3675, 1455, 375),
         "&Deseleziona Tutti", "Non scegliere nessun file dalla lista", &MainWindow::deselectAll},
        {&MainWindow::selectAllButton, "Tutto", twips(3450, 3675, 1455, 375), "Se&leziona Tutti",
         "Scegli tutti i file nella lista", &MainWindow::selectAll},
        {&MainWindow::refreshButton, "refresh", twips(5010, 3270, 1455, 375), "&Refresh",
         "Aggiorna la lista a sinistra", &MainWindow::fillZipList},
        {&MainWindow::extractButton, "vai", twips(3450, 3270, 1455, 375), "&Vai!!!",
         "Comincia a scompattare...", &MainWindow::extractSelected},
    };
    for (const ButtonRow &row : rows) {
        QPushButton *button = new PictureButton(QString::fromUtf8(row.caption), this);
        place(button, row.name, row.geometry);
        button->setToolTip(QString::fromUtf8(row.toolTip));
        connect(button, &QPushButton::clicked, this, [this, handler = row.handler] {
            if (!batchRunning)
                (this->*handler)();
        });
        this->*row.member = button;
    }

    QPalette grey = sourceButton->palette();
    grey.setColor(QPalette::Button, QColor(192, 192, 192));
    sourceButton->setPalette(grey);
}

void MainWindow::createList()
{
    archiveNames = new ArchiveNamesModel(this);
    archiveList = place(new QListView(this), "lista", twips(60, 945, 3300, 3180));
    archiveList->setModel(archiveNames);
    archiveList->setSelectionMode(QAbstractItemView::MultiSelection);
    archiveList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    archiveList->setUniformItemSizes(true);
    archiveList->setToolTip(QStringLiteral(
        "Questa lista contiene i files ZIP contenuti nella directory specificata a destra"));
    // Screen readers name a control by its caption; the list's stands under it.
    // A list view does not describe itself by its tooltip as buttons do.
    archiveList->setAccessibleName(QStringLiteral("Roms Zippate Disponibili"));
    archiveList->setAccessibleDescription(archiveList->toolTip());
}

void MainWindow::createFields()
{
    destinationField = place(new QLineEdit(platform::rootText, this), "destinazione",
                             twips(3435, 1800, 3015, 405));
    sourceField =
        place(new QLineEdit(platform::rootText, this), "origine", twips(3435, 960, 3015, 405));
    // For screen readers, from the caption of the button under each field.
    sourceField->setAccessibleName(QStringLiteral("Directory degli ZIP"));
    sourceField->setAccessibleDescription(
        QStringLiteral("La directory in cui si trovano i file ZIPPATI"));
    destinationField->setAccessibleName(QStringLiteral("Directory di destinazione"));
    destinationField->setAccessibleDescription(
        QStringLiteral("La directory in cui devono scompattarsi i files ZIP"));
}

void MainWindow::createPictures()
{
    auto *icon = place(new QLabel(this), "Image3", twips(4710, 2775, 495, 435));
    icon->setPixmap(QIcon(QStringLiteral(":/pictures/small.ico")).pixmap(32, 32));
    icon->setScaledContents(true);
    icon->setToolTip(QStringLiteral("E' solo un'icona :)"));
    icon->setAccessibleName(QStringLiteral("Icona"));

    auto *line =
        place(new QFrame(this), "Line1", QRect(3360 / 15, 2640 / 15, (6480 - 3360) / 15, 1));
    line->setFrameStyle(QFrame::HLine | QFrame::Plain);
    line->setLineWidth(1);
    line->setAccessibleName(QStringLiteral("Separatore"));

    // The banner is not scaled: its box is the picture plus a two-pixel border.
    auto *banner = place(new QLabel(this), "Image1", twips(75, 120, 4110, 780));
    banner->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    banner->setLineWidth(2);
    banner->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    banner->setPixmap(QPixmap(QStringLiteral(":/pictures/banner.jpg")));
    banner->setToolTip(programTitle + QStringLiteral(", a cura di The Vrillo, dicembre 2026"));
    banner->setAccessibleName(programTitle);
}

void MainWindow::createLabels()
{
    emailLabel = coloured(this, "Label5", 5505, 120, QStringLiteral("v@example.org"),
                          QStringLiteral("Mandami una email"), labelBlue);
    coloured(this, "Label4", 4320, 600, QStringLiteral("www.example.org/vrillo"),
             QStringLiteral("quando uscirà una nuova versione di THE VRILLO"), labelBlue);
    coloured(this, "Label3", 4320, 360, QStringLiteral("Novità e aggiornamenti su:"),
             QStringLiteral("e saprai anche"), labelBlue);
    coloured(this, "Label1", 4410, 120, QStringLiteral("Contattatemi a"),
             QStringLiteral("Mandami una email"), labelBlue);
    coloured(this, "Label2", 135, 4200, QStringLiteral("Roms Zippate Disponibili"), QString(),
             palette().color(QPalette::WindowText));
}

MainWindow::~MainWindow() = default;

void MainWindow::setTabOrder()
{
    QWidget *const order[] = {
        archiveList,       folderPerArchiveBox, sourceField, sourceButton,  destinationField,
        destinationButton, saveButton,          loadButton,  extractButton, refreshButton,
        selectAllButton,   deselectAllButton,   exitButton};
    for (size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

void MainWindow::closeEvent(QCloseEvent *)
{
    exitProgram();
}

void MainWindow::loadSettingsAtStart()
{
    // A first run has no settings yet: the window simply opens with its
    // initial texts. Any other failure is worth telling.
    const Result<void> loaded = loadDirectories();
    if (!loaded && !isMissingSettingsFile(loaded.failure()))
        reportFailure(this, loaded.failure());
}

Result<void> MainWindow::saveDirectories()
{
    return saveSettingsFile(settingsPath, {sourceField->text(), destinationField->text()});
}

Result<void> MainWindow::loadDirectories()
{
    const Result<SavedDirectories> loaded = loadSettingsFile(settingsPath);
    if (!loaded)
        return loaded.failure();
    sourceField->setText(loaded->source);
    destinationField->setText(loaded->destination);
    return {};
}

// The picker is made on first use and afterwards only hidden and shown, so it
// keeps its drive and directory from one opening to the next.
void MainWindow::openPicker(QLineEdit *field)
{
    if (!picker)
        createPicker();
    pickerField = field;
    hide();
    picker->show();
}

// The main window comes back however the picker closes, so the program never
// runs without a window.
void MainWindow::createPicker()
{
    picker = std::make_unique<DirectoryPicker>();
    connect(picker.get(), &DirectoryPicker::directoryChosen, this,
            [this](const QString &directory) { pickerField->setText(directory); });
    connect(picker.get(), &DirectoryPicker::closed, this, &QWidget::show);
}

void MainWindow::pickSource()
{
    openPicker(sourceField);
}

void MainWindow::pickDestination()
{
    openPicker(destinationField);
}

void MainWindow::saveSettings()
{
    if (const Result<void> saved = saveDirectories(); !saved)
        reportFailure(this, saved.failure());
}

void MainWindow::loadSettings()
{
    if (const Result<void> loaded = loadDirectories(); !loaded)
        reportFailure(this, loaded.failure());
}

void MainWindow::fillZipList()
{
    archiveNames->setFileNames({});
    const Result<QByteArrayList> archives = listZipArchives(sourceField->text());
    if (!archives) {
        reportFailure(this, archives.failure());
        return;
    }
    archiveNames->setFileNames(*archives);
}

void MainWindow::selectAll()
{
    setEveryEntrySelected(true);
}

void MainWindow::deselectAll()
{
    setEveryEntrySelected(false);
}

// One range over the whole list, so a long list costs one selection change
// rather than one per entry.
void MainWindow::setEveryEntrySelected(bool selected)
{
    const int count = archiveNames->rowCount();
    if (count == 0)
        return;
    const QItemSelection everyEntry(archiveNames->index(0), archiveNames->index(count - 1));
    archiveList->selectionModel()->select(everyEntry, selected ? QItemSelectionModel::Select
                                                               : QItemSelectionModel::Deselect);
}

// The batch runs on this thread. The window goes on painting and answering
// the desktop, but nothing the user does reaches it until the batch ends, so
// nothing can change the list or the fields while it runs, and a second batch
// cannot start inside the first. A close asked for meanwhile comes after the
// summary.
void MainWindow::extractSelected()
{
    BatchResult result;
    bool closeRequested = false;
    {
        const BlockedWindow blocked(this);
        const QScopedValueRollback<bool> running(batchRunning, true);
        result = runBatch(batchRequest());
        closeRequested = blocked.closeRequested();
    }
    showBatchReport(batchReport(result));
    if (closeRequested)
        exitProgram();
}

// Whatever the message leaves out goes into the box's details, which scroll,
// so the box and its button stay on the screen. Names and reasons are shown as
// they are, never read as markup, and can be selected and copied, to be looked
// up or passed on.
void MainWindow::showBatchReport(const BatchReport &report)
{
    if (report.kind == BatchReport::Kind::Nothing)
        return;
    const auto icon =
        report.kind == BatchReport::Kind::Stopped ? QMessageBox::Critical : QMessageBox::Warning;
    QMessageBox box(icon, windowTitle(), report.message, QMessageBox::Ok, this);
    box.setTextFormat(Qt::PlainText);
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    if (!report.details.isEmpty())
        box.setDetailedText(report.details);
    box.exec();
}

BatchRequest MainWindow::batchRequest() const
{
    BatchRequest request;
    request.archives = archiveNames->fileNames();
    for (int row = 0; row < archiveNames->rowCount(); ++row)
        request.selected << archiveList->selectionModel()->isSelected(archiveNames->index(row));
    request.source = sourceField->text();
    request.destination = destinationField->text();
    request.extractorDirectory = programDirectory;
    request.folderPerArchive = folderPerArchiveBox->isChecked();
    return request;
}

void MainWindow::exitProgram()
{
    QCoreApplication::exit(0);
}

void MainWindow::recolourContact()
{
    QPalette palette = emailLabel->palette();
    palette.setColor(QPalette::WindowText, colours.next());
    emailLabel->setPalette(palette);
}
