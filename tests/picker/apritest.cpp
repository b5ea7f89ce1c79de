#include "apri.h"
#include "directorylist.h"
#include "drives.h"
#include "form1.h"
#include "messageboxcatcher.h"
#include "picturebutton.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// The main window with its picker, as a user meets them: Form1 shown, the
// directory fields holding texts the picker must not touch unless told to.
class Windows
{
public:
    Windows() : form1(programDirectory.path())
    {
        form1.findChild<QLineEdit *>("origine")->setText("/before/source");
        form1.findChild<QLineEdit *>("destinazione")->setText("/before/destination");
        form1.show();
    }

    void open(const QString &buttonName)
    {
        QTest::mouseClick(form1.findChild<QPushButton *>(buttonName), Qt::LeftButton);
    }

    apri *picker() const
    {
        for (QWidget *window : QApplication::topLevelWidgets()) {
            if (auto *found = qobject_cast<apri *>(window))
                return found;
        }
        return nullptr;
    }

    template <typename Control> Control *pickerControl(const char *name) const
    {
        return picker() ? picker()->findChild<Control *>(name) : nullptr;
    }

    DirectoryList *Direct() const { return pickerControl<DirectoryList>("Direct"); }
    QComboBox *Drive1() const { return pickerControl<QComboBox>("Drive1"); }
    QPushButton *ok() const { return pickerControl<QPushButton>("ok"); }
    QPushButton *Command1() const { return pickerControl<QPushButton>("Command1"); }
    QString text(const QString &fieldName) const
    {
        return form1.findChild<QLineEdit *>(fieldName)->text();
    }

    MessageBoxCatcher reports;
    QTemporaryDir programDirectory;
    Form1 form1;
};

static const char *fieldFilledBy(const QString &buttonName)
{
    return buttonName == "browse" ? "origine" : "destinazione";
}

static const char *otherField(const QString &buttonName)
{
    return buttonName == "browse" ? "destinazione" : "origine";
}

static QTreeWidgetItem *entryNamed(DirectoryList *list, const QString &name)
{
    const auto found = list->findItems(name, Qt::MatchExactly | Qt::MatchRecursive);
    return found.size() == 1 ? found.first() : nullptr;
}

class ApriTest : public QObject
{
    Q_OBJECT

private slots:
    void window();
    void layout_data();
    void layout();
    void tabOrderStartsAtTheDriveList();
    void firstOpeningShowsTheRootAndOkWritesItIntoItsFieldOnly_data();
    void firstOpeningShowsTheRootAndOkWritesItIntoItsFieldOnly();
    void directoryIsKeptAcrossCancelAndReopening_data();
    void directoryIsKeptAcrossCancelAndReopening();
    void driveChangeMovesTheListAtOnce();
    void unreadableDriveIsReportedAndTheListStays();
    void unreadableDirectoryIsReportedAndTheListStays_data();
    void unreadableDirectoryIsReportedAndTheListStays();
    void frameCloseBringsTheMainWindowBack();
    void enterPressesTheFocusedButtonOnly_data();
    void enterPressesTheFocusedButtonOnly();
    void escapePressesNoButton_data();
    void escapePressesNoButton();
};

void ApriTest::window()
{
    Windows windows;
    windows.open("browse");
    apri *picker = windows.picker();
    QVERIFY(picker);

    QCOMPARE(picker->windowTitle(), "Seleziona la directory");
    QCOMPARE(picker->geometry(), QRect(275, 139, 242, 325));
    QCOMPARE(picker->minimumSize(), QSize(242, 325));
    QCOMPARE(picker->maximumSize(), QSize(242, 325));
    QVERIFY(!picker->testAttribute(Qt::WA_SetWindowIcon));
    QVERIFY(!picker->isModal());
    QCOMPARE(picker->focusWidget(), windows.Drive1());
}

void ApriTest::layout_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("visible");
    QTest::newRow("Drive1") << "Drive1" << QRect(9, 11, 224, 21) << QString() << true;
    QTest::newRow("Command1") << "Command1" << QRect(120, 288, 113, 33) << "&ANNULLA" << true;
    QTest::newRow("ok") << "ok" << QRect(8, 288, 113, 33) << "&OK" << true;
    QTest::newRow("Direct") << "Direct" << QRect(8, 35, 225, 231) << QString() << true;
    QTest::newRow("cosa") << "cosa" << QRect(121, -1, 61, 19) << "Label1" << false;
}

void ApriTest::layout()
{
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    QFETCH(QString, caption);
    QFETCH(bool, visible);
    QWidget mainWindow;
    QLineEdit origine;
    QLineEdit destinazione;
    apri picker(&mainWindow, &origine, &destinazione);
    picker.show();

    auto *control = picker.findChild<QWidget *>(name);
    QVERIFY(control);
    QCOMPARE(control->geometry(), geometry);
    QCOMPARE(control->isVisible(), visible);
    QVERIFY(control->isEnabled());
    if (auto *button = qobject_cast<QPushButton *>(control)) {
        QVERIFY(qobject_cast<PictureButton *>(button));
        QCOMPARE(button->text(), caption);
        QVERIFY(!button->isDefault());
        QVERIFY(button->toolTip().isEmpty());
    }
    if (auto *label = qobject_cast<QLabel *>(control))
        QCOMPARE(label->text(), caption);
}

void ApriTest::tabOrderStartsAtTheDriveList()
{
    Windows windows;
    windows.open("browse");
    apri *picker = windows.picker();
    QVERIFY(picker);
    picker->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(picker));

    const QList<QWidget *> expected{windows.Drive1(), windows.Direct(), windows.ok(),
                                    windows.Command1(), windows.Drive1()};
    QList<QWidget *> visited{QApplication::focusWidget()};
    for (int press = 1; press < expected.size(); ++press) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget();
    }
    QCOMPARE(visited, expected);
}

void ApriTest::firstOpeningShowsTheRootAndOkWritesItIntoItsFieldOnly_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("flag");
    QTest::newRow("source by browse") << "browse"
                                      << "0";
    QTest::newRow("destination by Command3") << "Command3"
                                             << "1";
}

void ApriTest::firstOpeningShowsTheRootAndOkWritesItIntoItsFieldOnly()
{
    QFETCH(QString, button);
    QFETCH(QString, flag);
    Windows windows;
    const QString untouched = windows.text(otherField(button));
    QVERIFY(!windows.picker());

    windows.open(button);

    QVERIFY(windows.picker());
    QVERIFY(windows.picker()->isVisible());
    QVERIFY(!windows.form1.isVisible());
    QCOMPARE(windows.Direct()->currentPath(), "/");
    QCOMPARE(windows.pickerControl<QLabel>("cosa")->text(), flag);
    QVERIFY(!windows.pickerControl<QLabel>("cosa")->isVisible());

    QTest::mouseClick(windows.ok(), Qt::LeftButton);

    QCOMPARE(windows.text(fieldFilledBy(button)), "/");
    QCOMPARE(windows.text(otherField(button)), untouched);
    QVERIFY(!windows.picker()->isVisible());
    QVERIFY(windows.form1.isVisible());
    QVERIFY(windows.reports.texts.isEmpty());
}

void ApriTest::directoryIsKeptAcrossCancelAndReopening_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<bool>("byKeyboard");
    QTest::newRow("source, then destination, moving by Enter") << "browse"
                                                               << "Command3" << true;
    QTest::newRow("destination, then source, moving by double click") << "Command3"
                                                                      << "browse" << false;
}

void ApriTest::directoryIsKeptAcrossCancelAndReopening()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(bool, byKeyboard);
    QTemporaryDir fixture;
    QVERIFY(QDir(fixture.path()).mkdir("roms"));
    const QString roms = QDir(fixture.path()).filePath("roms");
    Windows windows;
    const QString firstText = windows.text(fieldFilledBy(first));

    windows.open(first);
    apri *picker = windows.picker();
    DirectoryList *list = windows.Direct();
    QVERIFY(!list->setPath(fixture.path()));
    QTreeWidgetItem *entry = entryNamed(list, "roms");
    QVERIFY(entry);
    if (byKeyboard) {
        list->setCurrentItem(entry);
        QTest::keyClick(list, Qt::Key_Return);
    } else {
        // A double click reaches a widget as a click followed by a double-click event.
        const QPoint centre = list->visualItemRect(entry).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, centre);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, centre);
    }
    QCOMPARE(list->currentPath(), roms);
    QTest::mouseClick(windows.Command1(), Qt::LeftButton);

    QVERIFY(windows.form1.isVisible());
    QCOMPARE(windows.text(fieldFilledBy(first)), firstText);

    windows.open(second);

    QCOMPARE(windows.picker(), picker);
    QCOMPARE(list->currentPath(), roms);
    QTest::mouseClick(windows.ok(), Qt::LeftButton);
    QCOMPARE(windows.text(fieldFilledBy(second)), roms);
    QCOMPARE(windows.text(fieldFilledBy(first)), firstText);
    QVERIFY(windows.reports.texts.isEmpty());
}

void ApriTest::driveChangeMovesTheListAtOnce()
{
    QTemporaryDir fixture;
    Windows windows;
    windows.open("Command3");
    QVERIFY(!windows.Direct()->setPath(fixture.path()));
    QComboBox *drives = windows.Drive1();
    const QString mountPoint = mountPointHolding(fixture.path());
    const int index = drives->findText(mountPoint);
    QVERIFY(index >= 0);

    drives->setCurrentIndex(index);
    emit drives->activated(index);

    QCOMPARE(windows.Direct()->currentPath(), mountPoint);
    QVERIFY(windows.picker()->isVisible());
    QVERIFY(windows.reports.texts.isEmpty());
}

void ApriTest::unreadableDriveIsReportedAndTheListStays()
{
    QTemporaryDir fixture;
    const QString vanished = QDir(fixture.path()).filePath("usb");
    Windows windows;
    windows.open("browse");
    QVERIFY(!windows.Direct()->setPath(fixture.path()));
    QComboBox *drives = windows.Drive1();
    const QString shownDrive = drives->currentText();
    // A drive that was unmounted after the list was filled.
    drives->addItem(vanished);
    const int index = drives->count() - 1;

    drives->setCurrentIndex(index);
    emit drives->activated(index);

    QTRY_COMPARE(windows.reports.texts.size(), 1);
    QVERIFY(windows.reports.texts.first().contains("Impossibile leggere la directory " + vanished));
    QVERIFY(windows.reports.texts.first().contains("2: No such file or directory"));
    QCOMPARE(windows.Direct()->currentPath(), fixture.path());
    QCOMPARE(drives->currentText(), shownDrive);
    QVERIFY(windows.picker()->isVisible());

    QTest::mouseClick(windows.ok(), Qt::LeftButton);
    QCOMPARE(windows.text("origine"), fixture.path());
}

void ApriTest::unreadableDirectoryIsReportedAndTheListStays_data()
{
    QTest::addColumn<bool>("replacedByFile");
    QTest::addColumn<QString>("error");
    QTest::newRow("directory removed after listing") << false << "2: No such file or directory";
    QTest::newRow("directory replaced by a file") << true << "20: Not a directory";
}

void ApriTest::unreadableDirectoryIsReportedAndTheListStays()
{
    QFETCH(bool, replacedByFile);
    QFETCH(QString, error);
    QTemporaryDir fixture;
    const QDir root(fixture.path());
    QVERIFY(root.mkdir("roms"));
    Windows windows;
    windows.open("Command3");
    DirectoryList *list = windows.Direct();
    QVERIFY(!list->setPath(fixture.path()));
    QVERIFY(root.rmdir("roms"));
    if (replacedByFile) {
        QFile file(root.filePath("roms"));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }

    list->setCurrentItem(entryNamed(list, "roms"));
    QTest::keyClick(list, Qt::Key_Return);

    QTRY_COMPARE(windows.reports.texts.size(), 1);
    QVERIFY(windows.reports.texts.first().contains("Impossibile leggere la directory " +
                                                   root.filePath("roms")));
    QVERIFY(windows.reports.texts.first().contains(error));
    QCOMPARE(list->currentPath(), fixture.path());
    QVERIFY(entryNamed(list, "roms"));
    QVERIFY(windows.picker()->isVisible());

    QTest::mouseClick(windows.ok(), Qt::LeftButton);
    QCOMPARE(windows.text("destinazione"), fixture.path());
}

void ApriTest::frameCloseBringsTheMainWindowBack()
{
    Windows windows;
    QSignalSpy lastWindowClosed(qApp, &QGuiApplication::lastWindowClosed);
    windows.open("browse");

    windows.picker()->close();

    QVERIFY(!windows.picker()->isVisible());
    QVERIFY(windows.form1.isVisible());
    QCOMPARE(windows.text("origine"), "/before/source");
    QCOMPARE(lastWindowClosed.count(), 0);
}

void ApriTest::enterPressesTheFocusedButtonOnly_data()
{
    QTest::addColumn<QString>("focused");
    QTest::addColumn<QString>("origine");
    QTest::addColumn<bool>("pickerClosed");
    QTest::newRow("on OK it confirms") << "ok"
                                       << "/" << true;
    QTest::newRow("on ANNULLA it cancels") << "Command1"
                                           << "/before/source" << true;
    QTest::newRow("on the drive list nothing") << "Drive1"
                                               << "/before/source" << false;
}

void ApriTest::enterPressesTheFocusedButtonOnly()
{
    QFETCH(QString, focused);
    QFETCH(QString, origine);
    QFETCH(bool, pickerClosed);
    Windows windows;
    windows.open("browse");
    auto *control = windows.pickerControl<QWidget>(qPrintable(focused));
    control->setFocus();

    QTest::keyClick(control, Qt::Key_Return);

    QCOMPARE(windows.text("origine"), origine);
    QCOMPARE(windows.text("destinazione"), "/before/destination");
    QCOMPARE(windows.picker()->isVisible(), !pickerClosed);
    QCOMPARE(windows.form1.isVisible(), pickerClosed);
}

void ApriTest::escapePressesNoButton_data()
{
    QTest::addColumn<QString>("focused");
    QTest::newRow("drive list") << "Drive1";
    QTest::newRow("directory list") << "Direct";
    QTest::newRow("OK") << "ok";
    QTest::newRow("ANNULLA") << "Command1";
}

void ApriTest::escapePressesNoButton()
{
    QFETCH(QString, focused);
    Windows windows;
    windows.open("Command3");
    auto *control = windows.pickerControl<QWidget>(qPrintable(focused));
    control->setFocus();
    QSignalSpy okClicks(windows.ok(), &QPushButton::clicked);
    QSignalSpy cancelClicks(windows.Command1(), &QPushButton::clicked);

    QTest::keyClick(control, Qt::Key_Escape);

    QCOMPARE(okClicks.count(), 0);
    QCOMPARE(cancelClicks.count(), 0);
    QVERIFY(windows.picker()->isVisible());
    QVERIFY(!windows.form1.isVisible());
    QCOMPARE(windows.text("destinazione"), "/before/destination");
}

QTEST_MAIN(ApriTest)
#include "apritest.moc"
