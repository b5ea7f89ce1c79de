#include "mainwindow.h"
#include "colourcycle.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

class MainWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void windowFrame();
    void controlGeometry_data();
    void controlGeometry();
    void captionsAndToolTips_data();
    void captionsAndToolTips();
    void labelsSizedToTheirTextAndBlue_data();
    void labelsSizedToTheirTextAndBlue();
    void initialValues();
    void picturesAtTheirOwnSize();
    void tabOrderStartsAtTheList();
    void enterPressesTheFocusedButtonEscPressesNone();
    void timerRecoloursLabel5EvenWhileHidden();
    void esciEndsTheProgram();
    void closingTheFrameEndsTheProgram();

private:
    template <typename T = QWidget> T *control(const char *name);
    QColor label5Colour();

    QTemporaryDir programDirectory;
    MainWindow *window = nullptr;
};

void MainWindowTest::init()
{
    window = new MainWindow(programDirectory.path());
}

void MainWindowTest::cleanup()
{
    delete window;
    window = nullptr;
}

template <typename T> T *MainWindowTest::control(const char *name)
{
    T *found = window->findChild<T *>(QLatin1String(name));
    if (!found)
        qFatal("no control %s", name);
    return found;
}

QColor MainWindowTest::label5Colour()
{
    return control<QLabel>("Label5")->palette().color(QPalette::WindowText);
}

void MainWindowTest::windowFrame()
{
    QCOMPARE(window->windowTitle(), QStringLiteral("The Vrillo V1.1"));
    QCOMPARE(window->geometry(), QRect(173, 155, 432, 298));
    QCOMPARE(window->minimumSize(), window->maximumSize());
    const QList<QSize> iconSizes = window->windowIcon().availableSizes();
    QVERIFY(iconSizes.contains(QSize(32, 32)));
    QVERIFY(iconSizes.contains(QSize(16, 16)));
}

void MainWindowTest::controlGeometry_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("twipRect");

    const struct
    {
        const char *name;
        int left, top, width, height;
    } rows[] = {
        {"checkdir", 2400, 4215, 960, 195},  {"Command3", 3450, 2280, 3015, 315},
        {"browse", 3450, 1440, 3015, 315},   {"Command2", 5370, 2715, 1095, 525},
        {"cmdsalva", 3450, 2715, 1095, 525}, {"Command1", 3450, 4080, 3015, 375},
        {"niente", 5010, 3675, 1455, 375},   {"Tutto", 3450, 3675, 1455, 375},
        {"refresh", 5010, 3270, 1455, 375},  {"lista", 60, 945, 3300, 3180},
        {"vai", 3450, 3270, 1455, 375},      {"destinazione", 3435, 1800, 3015, 405},
        {"origine", 3435, 960, 3015, 405},   {"Image3", 4710, 2775, 495, 435},
        {"Image1", 75, 120, 4110, 780},
    };
    for (const auto &row : rows)
        QTest::newRow(row.name) << QString::fromLatin1(row.name)
                                << QRect(row.left, row.top, row.width, row.height);
}

void MainWindowTest::controlGeometry()
{
    QFETCH(QString, name);
    QFETCH(QRect, twipRect);
    const QRect pixels(twipRect.x() / 15, twipRect.y() / 15, twipRect.width() / 15,
                       twipRect.height() / 15);
    QCOMPARE(control(name.toLatin1())->geometry(), pixels);
}

void MainWindowTest::captionsAndToolTips_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("toolTip");

    // cmdsalva keeps its two spaces, vai its three exclamation marks and
    // Label4 and Label3 their accented letters.
    const struct
    {
        const char *name, *caption, *toolTip;
    } rows[] = {
        {"checkdir", "Crea D&IR", ""},
        {"Command3", "Scegli la directory di destinazio&ne",
         "Clicca qui per indicare dove devono scompattarsi i files ZIP"},
        {"browse", "Scegli la directory degli &ZIP",
         "Cliccare qui per indicare dove si trovano i file ZIPPATI"},
        {"Command2", "&Carica Impostazioni",
         "Carica le impostazioni delle directory precedentemente salvate"},
        {"cmdsalva", "&Salva  Impostazioni", "Salva le impostazioni correnti delle directory"},
        {"Command1", "&Esci", "Esci dal programma"},
        {"niente", "&Deseleziona Tutti", "Non scegliere nessun file dalla lista"},
        {"Tutto", "Se&leziona Tutti", "Scegli tutti i file nella lista"},
        {"refresh", "&Refresh", "Aggiorna la lista a sinistra"},
        {"vai", "&Vai!!!", "Comincia a scompattare..."},
        {"Label1", "Contattatemi a", "Mandami una email"},
        {"Label2", "Roms Zippate Disponibili", ""},
        {"Label4", "www.example.org/vrillo",
         "quando uscir\xc3\xa0 una nuova versione di THE VRILLO"},
        {"Label3", "Novit\xc3\xa0 e aggiornamenti su:", "e saprai anche"},
        {"Label5", "v@example.org", "Mandami una email"},
        {"lista", "",
         "Questa lista contiene i files ZIP contenuti nella directory specificata a destra"},
        {"Image3", "", "E' solo un'icona :)"},
    };
    for (const auto &row : rows)
        QTest::newRow(row.name) << QString::fromLatin1(row.name) << QString::fromUtf8(row.caption)
                                << QString::fromUtf8(row.toolTip);
}

void MainWindowTest::captionsAndToolTips()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QString, toolTip);

    QWidget *widget = control(name.toLatin1());
    QString text;
    if (auto *button = qobject_cast<QAbstractButton *>(widget))
        text = button->text();
    else if (auto *label = qobject_cast<QLabel *>(widget))
        text = label->text();
    QCOMPARE(text, caption);
    QCOMPARE(widget->toolTip(), toolTip);
}

void MainWindowTest::labelsSizedToTheirTextAndBlue_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QPoint>("twipPosition");
    QTest::addColumn<bool>("blue");

    QTest::newRow("Label5") << "Label5" << QPoint(5505, 120) << true;
    QTest::newRow("Label4") << "Label4" << QPoint(4320, 600) << true;
    QTest::newRow("Label3") << "Label3" << QPoint(4320, 360) << true;
    QTest::newRow("Label1") << "Label1" << QPoint(4410, 120) << true;
    QTest::newRow("Label2") << "Label2" << QPoint(135, 4200) << false;
}

void MainWindowTest::labelsSizedToTheirTextAndBlue()
{
    QFETCH(QString, name);
    QFETCH(QPoint, twipPosition);
    QFETCH(bool, blue);

    auto *label = control<QLabel>(name.toLatin1());
    QCOMPARE(label->pos(), twipPosition / 15);
    QCOMPARE(label->size(), label->sizeHint());
    QVERIFY2(window->rect().contains(label->geometry()), "the whole text is inside the window");
    QVERIFY2(!label->autoFillBackground(), "labels let the background picture show through");
    QCOMPARE(label->palette().color(QPalette::WindowText) == QColor(0, 0, 255), blue);
}

void MainWindowTest::initialValues()
{
    QCOMPARE(control<QLineEdit>("origine")->text(), QStringLiteral("/"));
    QCOMPARE(control<QLineEdit>("destinazione")->text(), QStringLiteral("/"));
    QVERIFY(control<QCheckBox>("checkdir")->isChecked());
    const QImage checkBox = control<QCheckBox>("checkdir")->grab().toImage();
    QCOMPARE(checkBox.pixelColor(checkBox.width() - 1, checkBox.height() / 2), QColor(255, 0, 0));
    QCOMPARE(control<QListView>("lista")->model()->rowCount(), 0);
    QCOMPARE(control<QListView>("lista")->selectionMode(), QAbstractItemView::MultiSelection);

    auto *line = control<QFrame>("Line1");
    QCOMPARE(line->geometry().left(), 3360 / 15);
    QCOMPARE(line->geometry().right() + 1, window->width());
    QCOMPARE(line->geometry().top(), 2640 / 15);
}

void MainWindowTest::picturesAtTheirOwnSize()
{
    auto *banner = control<QLabel>("Image1");
    QVERIFY(!banner->hasScaledContents());
    QCOMPARE(banner->pixmap().size(), QSize(270, 48));
    QCOMPARE(banner->contentsRect().size(), QSize(270, 48));

    auto *icon = control<QLabel>("Image3");
    QVERIFY(icon->hasScaledContents());
}

void MainWindowTest::tabOrderStartsAtTheList()
{
    window->show();
    QVERIFY(QTest::qWaitForWindowActive(window));
    QCOMPARE(QApplication::focusWidget(), control("lista"));

    const QStringList expected = {"checkdir", "origine",  "browse", "destinazione", "Command3",
                                  "cmdsalva", "Command2", "vai",    "refresh",      "Tutto",
                                  "niente",   "Command1", "lista"};
    for (const QString &name : expected) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget()->objectName(), name);
    }
}

void MainWindowTest::enterPressesTheFocusedButtonEscPressesNone()
{
    window->show();
    QVERIFY(QTest::qWaitForWindowActive(window));
    auto *vai = control<QAbstractButton>("vai");
    auto *tutto = control<QAbstractButton>("Tutto");
    QSignalSpy vaiClicks(vai, &QAbstractButton::clicked);
    QSignalSpy tuttoClicks(tutto, &QAbstractButton::clicked);

    tutto->setFocus();
    QTest::keyClick(tutto, Qt::Key_Escape);
    QCOMPARE(tuttoClicks.count(), 0);
    QTest::keyClick(tutto, Qt::Key_Return);
    QCOMPARE(tuttoClicks.count(), 1);
    QTest::keyClick(tutto, Qt::Key_Space);
    QCOMPARE(tuttoClicks.count(), 2);
    QCOMPARE(vaiClicks.count(), 0);

    control("lista")->setFocus();
    QTest::keyClick(control("lista"), Qt::Key_Return);
    QCOMPARE(vaiClicks.count() + tuttoClicks.count(), 2);
}

void MainWindowTest::timerRecoloursLabel5EvenWhileHidden()
{
    // The window is never shown here.
    QTRY_VERIFY_WITH_TIMEOUT(label5Colour() != QColor(0, 0, 255), 2000);
    // The generator is never seeded, so a fresh window always starts alike.
    QCOMPARE(label5Colour(), ColourCycle().next());
    const QColor first = label5Colour();
    QTRY_VERIFY_WITH_TIMEOUT(label5Colour() != first, 2000);
}

static int runUntilExit(const std::function<void()> &action)
{
    QTimer::singleShot(0, action);
    QTimer::singleShot(5000, [] { QCoreApplication::exit(99); });
    return QCoreApplication::exec();
}

void MainWindowTest::esciEndsTheProgram()
{
    window->show();
    QCOMPARE(runUntilExit([this] { QTest::mouseClick(control("Command1"), Qt::LeftButton); }), 0);
}

void MainWindowTest::closingTheFrameEndsTheProgram()
{
    window->show();
    QCOMPARE(runUntilExit([this] { window->close(); }), 0);
}

QTEST_MAIN(MainWindowTest)
#include "mainwindowtest.moc"
