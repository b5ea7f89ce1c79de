#include "form1.h"

#include "apri.h"
#include "archivelist.h"
#include "errorreport.h"
#include "form1batchview.h"
#include "picturebutton.h"
#include "platform.h"
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
#include <QStringListModel>
#include <QTimer>

static const QColor labelBlue(0, 0, 255);

template <typename Control>
static Control *place(Control *control, const char *name, const QRect &geometry)
{
    control->setObjectName(QLatin1String(name));
    control->setGeometry(geometry);
    return control;
}

static QLabel *contactLabel(QWidget *parent, const char *name, int left, int top,
                            const QString &text, const QString &toolTip, const QColor &colour)
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

Form1::Form1(const QString &programDirectory, QWidget *parent)
    : BackdropWindow(QStringLiteral("The Vrillo V1.1"), twips(2595, 2325, 6480, 4470), parent),
      programDirectory(programDirectory), settingsPath(settingsFileOfProgram(programDirectory))
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
    lista->setFocus();

    Form_Load();
}

void Form1::createTimer()
{
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(500);
    connect(Timer1, &QTimer::timeout, this, &Form1::Timer1_Timer);
    Timer1->start();
}

void Form1::createButtons()
{
    checkdir = place(new QCheckBox(QStringLiteral("Crea D&IR"), this), "checkdir",
                     twips(2400, 4215, 960, 195));
    checkdir->setChecked(true);
    // Some desktop styles ignore a palette's background on check boxes; a style
    // sheet is painted by every style.
    checkdir->setStyleSheet(QStringLiteral("QCheckBox { background-color: rgb(255, 0, 0); }"));

    struct ButtonRow
    {
        QPushButton *Form1::*member;
        const char *name;
        QRect geometry;
        const char *caption;
        const char *toolTip;
        void (Form1::*handler)();
    };
    const ButtonRow rows[] = {
        {&Form1::Command3, "Command3", twips(3450, 2280, 3015, 315),
         "Scegli la directory di destinazio&ne",
         "Clicca qui per indicare dove devono scompattarsi i files ZIP", &Form1::Command3_Click},
        {&Form1::browse, "browse", twips(3450, 1440, 3015, 315), "Scegli la directory degli &ZIP",
         "Cliccare qui per indicare dove si trovano i file ZIPPATI", &Form1::browse_Click},
        {&Form1::Command2, "Command2", twips(5370, 2715, 1095, 525), "&Carica Impostazioni",
         "Carica le impostazioni delle directory precedentemente salvate", &Form1::Command2_Click},
        {&Form1::cmdsalva, "cmdsalva", twips(3450, 2715, 1095, 525), "&Salva  Impostazioni",
         "Salva le impostazioni correnti delle directory", &Form1::cmdsalva_Click},
        {&Form1::Command1, "Command1", twips(3450, 4080, 3015, 375), "&Esci", "Esci dal programma",
         &Form1::Command1_Click},
        {&Form1::niente, "niente", twips(5010, 3675, 1455, 375), "&Deseleziona Tutti",
         "Non scegliere nessun file dalla lista", &Form1::niente_Click},
        {&Form1::Tutto, "Tutto", twips(3450, 3675, 1455, 375), "Se&leziona Tutti",
         "Scegli tutti i file nella lista", &Form1::Tutto_Click},
        {&Form1::refresh, "refresh", twips(5010, 3270, 1455, 375), "&Refresh",
         "Aggiorna la lista a sinistra", &Form1::refresh_Click},
        {&Form1::vai, "vai", twips(3450, 3270, 1455, 375), "&Vai!!!", "Comincia a scompattare...",
         &Form1::vai_Click},
    };
    for (const ButtonRow &row : rows) {
        QPushButton *button = new PictureButton(QString::fromUtf8(row.caption), this);
        place(button, row.name, row.geometry);
        button->setToolTip(QString::fromUtf8(row.toolTip));
        connect(button, &QPushButton::clicked, this, row.handler);
        this->*row.member = button;
    }

    QPalette grey = browse->palette();
    grey.setColor(QPalette::Button, QColor(192, 192, 192));
    browse->setPalette(grey);
}

void Form1::createList()
{
    listaEntries = new QStringListModel(this);
    lista = place(new QListView(this), "lista", twips(60, 945, 3300, 3180));
    lista->setModel(listaEntries);
    lista->setSelectionMode(QAbstractItemView::MultiSelection);
    lista->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lista->setUniformItemSizes(true);
    lista->setToolTip(QStringLiteral(
        "Questa lista contiene i files ZIP contenuti nella directory specificata a destra"));
}

void Form1::createFields()
{
    destinazione = place(new QLineEdit(platform::rootText, this), "destinazione",
                         twips(3435, 1800, 3015, 405));
    origine =
        place(new QLineEdit(platform::rootText, this), "origine", twips(3435, 960, 3015, 405));
}

void Form1::createPictures()
{
    Image3 = place(new QLabel(this), "Image3", twips(4710, 2775, 495, 435));
    Image3->setPixmap(QIcon(QStringLiteral(":/pictures/small.ico")).pixmap(32, 32));
    Image3->setScaledContents(true);
    Image3->setToolTip(QStringLiteral("E' solo un'icona :)"));

    Line1 = place(new QFrame(this), "Line1", QRect(3360 / 15, 2640 / 15, (6480 - 3360) / 15, 1));
    Line1->setFrameStyle(QFrame::HLine | QFrame::Plain);
    Line1->setLineWidth(1);

    // The banner is not scaled: its box is the picture plus a two-pixel border.
    Image1 = place(new QLabel(this), "Image1", twips(75, 120, 4110, 780));
    Image1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Image1->setLineWidth(2);
    Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Image1->setPixmap(QPixmap(QStringLiteral(":/pictures/banner.jpg")));
    Image1->setToolTip(QStringLiteral("The Vrillo V1.1, a cura di The Vrillo, dicembre 2026"));
}

void Form1::createLabels()
{
    Label5 = contactLabel(this, "Label5", 5505, 120, QStringLiteral("v@example.org"),
                          QStringLiteral("Mandami una email"), labelBlue);
    Label4 =
        contactLabel(this, "Label4", 4320, 600, QStringLiteral("www.example.org/vrillo"),
                     QStringLiteral("quando uscirà una nuova versione di THE VRILLO"), labelBlue);
    Label3 = contactLabel(this, "Label3", 4320, 360, QStringLiteral("Novità e aggiornamenti su:"),
                          QStringLiteral("e saprai anche"), labelBlue);
    Label1 = contactLabel(this, "Label1", 4410, 120, QStringLiteral("Contattatemi a"),
                          QStringLiteral("Mandami una email"), labelBlue);
    Label2 = contactLabel(this, "Label2", 135, 4200, QStringLiteral("Roms Zippate Disponibili"),
                          QString(), palette().color(QPalette::WindowText));
}

Form1::~Form1() = default;

void Form1::setTabOrder()
{
    QWidget *const order[] = {lista,    checkdir, origine, browse, destinazione, Command3, cmdsalva,
                              Command2, vai,      refresh, Tutto,  niente,       Command1};
    for (size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

void Form1::closeEvent(QCloseEvent *)
{
    Command1_Click();
}

void Form1::Form_Load()
{
    // A first run has no settings yet: the window simply opens with its
    // initial texts. Any other failure is worth telling.
    const std::optional<Failure> failure = LoadSettings();
    if (failure && !isMissingSettingsFile(*failure))
        reportFailure(this, *failure);
}

std::optional<Failure> Form1::SaveSettings()
{
    return saveSettingsFile(settingsPath, {origine->text(), destinazione->text()});
}

std::optional<Failure> Form1::LoadSettings()
{
    const SettingsOrFailure loaded = loadSettingsFile(settingsPath);
    if (const Failure *failure = std::get_if<Failure>(&loaded))
        return *failure;
    const auto &directories = std::get<SavedDirectories>(loaded);
    origine->setText(directories.source);
    destinazione->setText(directories.destination);
    return std::nullopt;
}

// The picker is made on first use and afterwards only hidden and shown, so it
// keeps its drive and directory from one opening to the next.
void Form1::openPicker(int targetFlag)
{
    if (!picker)
        picker = std::make_unique<apri>(this, origine, destinazione);
    picker->setTargetFlag(targetFlag);
    hide();
    picker->show();
}

void Form1::browse_Click()
{
    openPicker(0);
}

void Form1::Command3_Click()
{
    openPicker(1);
}

void Form1::cmdsalva_Click()
{
    if (const std::optional<Failure> failure = SaveSettings())
        reportFailure(this, *failure);
}

void Form1::Command2_Click()
{
    if (const std::optional<Failure> failure = LoadSettings())
        reportFailure(this, *failure);
}

void Form1::refresh_Click()
{
    FillZipList();
}

void Form1::FillZipList()
{
    listaEntries->setStringList({});
    const ArchiveListing listing = listZipArchives(origine->text());
    if (listing.failure) {
        reportFailure(this, *listing.failure);
        return;
    }
    listaEntries->setStringList(listing.names);
}

void Form1::Tutto_Click()
{
    selectEveryEntry(true);
}

void Form1::niente_Click()
{
    selectEveryEntry(false);
}

// One range over the whole list, so a long list costs one selection change
// rather than one per entry.
void Form1::selectEveryEntry(bool selected)
{
    const int count = listaEntries->rowCount();
    if (count == 0)
        return;
    const QItemSelection everyEntry(listaEntries->index(0), listaEntries->index(count - 1));
    lista->selectionModel()->select(everyEntry, selected ? QItemSelectionModel::Select
                                                         : QItemSelectionModel::Deselect);
}

// The batch runs on this thread and the window does not respond until it
// ends, so nothing can change the list or the fields while it runs.
void Form1::vai_Click()
{
    const BatchResult result = runBatch(
        Form1BatchView(lista, listaEntries, origine, destinazione, checkdir, programDirectory));
    if (result.stoppedBy)
        reportFailure(this, *result.stoppedBy);
    if (!result.failedExtractions.isEmpty())
        QMessageBox::warning(this, windowTitle(),
                             failedExtractionsMessage(result.failedExtractions));
}

void Form1::Command1_Click()
{
    QCoreApplication::exit(0);
}

void Form1::Timer1_Timer()
{
    QPalette palette = Label5->palette();
    palette.setColor(QPalette::WindowText, colours.next());
    Label5->setPalette(palette);
}
