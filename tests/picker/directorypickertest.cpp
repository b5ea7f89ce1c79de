#include "directorypicker.h"
#include "directorylist.h"
#include "directorypaths.h"
#include "drives.h"
#include "mainwindow.h"
#include "messageboxcatcher.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

static const QStringList untouchedFields{"/before/source", "/before/destination"};

// The main window with its picker, as a user meets them: MainWindow shown, the
// directory fields holding texts the picker must not touch unless told to.
class Windows
{
public:
    Windows() : mainWindow(programDirectory.path())
    {
        field("origine")->setText(untouchedFields[0]);
        field("destinazione")->setText(untouchedFields[1]);
        mainWindow.show();
    }

    QLineEdit *field(const char *name) const { return mainWindow.findChild<QLineEdit *>(name); }
    QStringList fields() const { return {field("origine")->text(), field("destinazione")->text()}; }
    void open(const QString &button)
    {
        QTest::mouseClick(mainWindow.findChild<QPushButton *>(button), Qt::LeftButton);
    }

    DirectoryPicker *picker() const
    {
        for (QWidget *window : QApplication::topLevelWidgets()) {
            if (auto *found = qobject_cast<DirectoryPicker *>(window))
                return found;
        }
        return nullptr;
    }

    template <typename Control = QWidget> Control *control(const QString &name) const
    {
        return picker() ? picker()->findChild<Control *>(name) : nullptr;
    }
    DirectoryList *directoryTree() const { return control<DirectoryList>("Direct"); }
    void click(const QString &button)
    {
        QTest::mouseClick(control<QPushButton>(button), Qt::LeftButton);
    }

    MessageBoxCatcher reports;
    QTemporaryDir programDirectory;
    MainWindow mainWindow;
};

static QTreeWidgetItem *entryNamed(DirectoryList *list, const QString &name)
{
    const auto found = list->findItems(name, Qt::MatchExactly | Qt::MatchRecursive);
    return found.size() == 1 ? found.first() : nullptr;
}

class DirectoryPickerTest : public QObject
{
    Q_OBJECT

private slots:
    void windowAndTabOrder();
    void openingConfirmingCancellingAndReopening_data();
    void openingConfirmingCancellingAndReopening();
    void unreadableDirectoryIsReportedAndTheListStays_data();
    void unreadableDirectoryIsReportedAndTheListStays();
    void frameCloseBringsTheMainWindowBack();
    void keysPressOnlyTheFocusedButton_data();
    void keysPressOnlyTheFocusedButton();
    void pathTextIsAbsoluteWithoutTrailingSeparator_data();
    void pathTextIsAbsoluteWithoutTrailingSeparator();
    void pathChainRunsFromTheRootDown();
    void subdirectories();
};

void DirectoryPickerTest::windowAndTabOrder()
{
    Windows windows;
    windows.open("browse");
    DirectoryPicker *picker = windows.picker();
    QVERIFY(picker);
    QCOMPARE(picker->windowTitle(), "Seleziona la directory");
    QCOMPARE(picker->geometry(), QRect(275, 139, 242, 325));
    QCOMPARE(picker->minimumSize(), QSize(242, 325));
    QCOMPARE(picker->maximumSize(), QSize(242, 325));
    QVERIFY(!picker->testAttribute(Qt::WA_SetWindowIcon));
    QCOMPARE(windows.control<QPushButton>("ok")->text(), "&OK");
    QCOMPARE(windows.control<QPushButton>("Command1")->text(), "&ANNULLA");
    QVERIFY(!picker->isModal());
    QCOMPARE(windows.control<QComboBox>("Drive1")->currentText(),
             mountPointHolding(QDir::currentPath()));
    picker->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(picker));

    QStringList visited{QApplication::focusWidget()->objectName()};
    for (int press = 0; press < 4; ++press) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(visited, (QStringList{"Drive1", "Direct", "ok", "Command1", "Drive1"}));
}

void DirectoryPickerTest::openingConfirmingCancellingAndReopening_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<int>("firstField");
    QTest::addColumn<bool>("byKeyboard");
    QTest::newRow("source, then destination, moving by Enter") << "browse"
                                                               << "Command3" << 0 << true;
    QTest::newRow("destination, then source, moving by double click") << "Command3"
                                                                      << "browse" << 1 << false;
}

void DirectoryPickerTest::openingConfirmingCancellingAndReopening()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(int, firstField);
    QFETCH(bool, byKeyboard);
    QTemporaryDir fixture;
    const QString roms = fixture.filePath("roms");
    QVERIFY(QDir().mkdir(roms));
    Windows windows;
    QVERIFY(!windows.picker());

    windows.open(first);
    DirectoryPicker *picker = windows.picker();
    DirectoryList *list = windows.directoryTree();
    QVERIFY(picker->isVisible());
    QVERIFY(!windows.mainWindow.isVisible());
    QCOMPARE(list->currentPath(), "/");
    windows.click("ok");

    QStringList fields = untouchedFields;
    fields[firstField] = "/";
    QCOMPARE(windows.fields(), fields);
    QVERIFY(!picker->isVisible());
    QVERIFY(windows.mainWindow.isVisible());

    windows.open(first);
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
    windows.click("Command1");

    QVERIFY(!picker->isVisible());
    QVERIFY(windows.mainWindow.isVisible());
    QCOMPARE(windows.fields(), fields);

    windows.open(second);

    QCOMPARE(windows.picker(), picker);
    QCOMPARE(list->currentPath(), roms);
    windows.click("ok");
    fields[1 - firstField] = roms;
    QCOMPARE(windows.fields(), fields);
    QVERIFY(windows.reports.texts.isEmpty());
}

void DirectoryPickerTest::unreadableDirectoryIsReportedAndTheListStays_data()
{
    QTest::addColumn<bool>("asDrive");
    QTest::newRow("drive unmounted after the list was filled") << true;
    QTest::newRow("directory removed after the list was filled") << false;
}

void DirectoryPickerTest::unreadableDirectoryIsReportedAndTheListStays()
{
    QFETCH(bool, asDrive);
    QTemporaryDir fixture;
    const QString roms = fixture.filePath("roms");
    QVERIFY(QDir().mkdir(roms));
    Windows windows;
    windows.open("Command3");
    DirectoryList *list = windows.directoryTree();
    auto *drives = windows.control<QComboBox>("Drive1");
    const QString shownDrive = drives->currentText();
    QVERIFY(!list->setPath(fixture.path()));
    QVERIFY(QDir().rmdir(roms));

    if (asDrive) {
        drives->addItem(roms);
        drives->setCurrentIndex(drives->count() - 1);
        emit drives->activated(drives->count() - 1);
    } else {
        list->setCurrentItem(entryNamed(list, "roms"));
        QTest::keyClick(list, Qt::Key_Return);
    }

    QTRY_COMPARE(windows.reports.texts.size(), 1);
    QVERIFY(windows.reports.texts.first().contains("Impossibile leggere la directory " + roms));
    QVERIFY(windows.reports.texts.first().contains("2: No such file or directory"));
    QCOMPARE(list->currentPath(), fixture.path());
    QVERIFY(entryNamed(list, "roms"));
    QCOMPARE(drives->currentText(), shownDrive);
    QVERIFY(windows.picker()->isVisible());
}

void DirectoryPickerTest::frameCloseBringsTheMainWindowBack()
{
    Windows windows;
    QSignalSpy lastWindowClosed(qApp, &QGuiApplication::lastWindowClosed);
    windows.open("browse");

    windows.picker()->close();

    QVERIFY(!windows.picker()->isVisible());
    QVERIFY(windows.mainWindow.isVisible());
    QCOMPARE(windows.fields(), untouchedFields);
    QCOMPARE(lastWindowClosed.count(), 0);
}

void DirectoryPickerTest::keysPressOnlyTheFocusedButton_data()
{
    QTest::addColumn<QString>("focused");
    QTest::addColumn<Qt::Key>("key");
    QTest::addColumn<QString>("origine");
    QTest::addColumn<bool>("pickerClosed");
    QTest::newRow("Enter on OK confirms") << "ok" << Qt::Key_Return << "/" << true;
    QTest::newRow("Enter on ANNULLA cancels")
        << "Command1" << Qt::Key_Return << untouchedFields[0] << true;
    QTest::newRow("Enter on the drive list presses nothing")
        << "Drive1" << Qt::Key_Return << untouchedFields[0] << false;
    QTest::newRow("Escape on the directory list presses nothing")
        << "Direct" << Qt::Key_Escape << untouchedFields[0] << false;
    QTest::newRow("Escape on OK presses nothing")
        << "ok" << Qt::Key_Escape << untouchedFields[0] << false;
}

void DirectoryPickerTest::keysPressOnlyTheFocusedButton()
{
    QFETCH(QString, focused);
    QFETCH(Qt::Key, key);
    QFETCH(QString, origine);
    QFETCH(bool, pickerClosed);
    Windows windows;
    windows.open("browse");
    QWidget *control = windows.control(focused);
    control->setFocus();

    QTest::keyClick(control, key);

    QCOMPARE(windows.fields(), (QStringList{origine, untouchedFields[1]}));
    QCOMPARE(windows.picker()->isVisible(), !pickerClosed);
    QCOMPARE(windows.mainWindow.isVisible(), pickerClosed);
}

void DirectoryPickerTest::pathTextIsAbsoluteWithoutTrailingSeparator_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("text");
    QTest::newRow("root stays the root") << "/" << QStringLiteral("/");
    QTest::newRow("trailing separator is dropped") << "/home/user/" << QStringLiteral("/home/user");
    QTest::newRow("doubled separators become one")
        << "//home//user" << QStringLiteral("/home/user");
    QTest::newRow("dot parts are resolved")
        << "/home/./user/../guest" << QStringLiteral("/home/guest");
    QTest::newRow("going above the root stays at the root") << "/.." << QStringLiteral("/");
    QTest::newRow("relative path is taken from the working directory")
        << "roms" << QDir::currentPath() + "/roms";
}

void DirectoryPickerTest::pathTextIsAbsoluteWithoutTrailingSeparator()
{
    QFETCH(QString, path);
    QFETCH(QString, text);
    QCOMPARE(pathText(path), text);
}

void DirectoryPickerTest::pathChainRunsFromTheRootDown()
{
    QCOMPARE(pathChain("/"), QStringList{"/"});
    QCOMPARE(pathChain("/home/user/roms/"),
             QStringList({"/", "/home", "/home/user", "/home/user/roms"}));
}

// Only directories and links to them, hidden ones left out, sorted without
// regard to case.
void DirectoryPickerTest::subdirectories()
{
    QTemporaryDir fixture;
    const QDir root(fixture.path());
    for (const char *directory : {"zeta", "Alpha", "beta", "Gamma", ".hidden", "àccento"})
        QVERIFY(root.mkdir(directory));
    QVERIFY(QFile(root.filePath("PACMAN.ZIP")).open(QIODevice::WriteOnly));
    QVERIFY(QFile::link(root.filePath("zeta"), root.filePath("link to zeta")));
    QVERIFY(QFile::link(root.filePath("PACMAN.ZIP"), root.filePath("link to a file")));
    QVERIFY(QFile::link(root.filePath("gone"), root.filePath("dangling link")));

    const Subdirectories listing = listSubdirectories(fixture.path());

    QVERIFY(!listing.failure);
    QCOMPARE(listing.names,
             QStringList({"Alpha", "beta", "Gamma", "link to zeta", "zeta", "àccento"}));
}

QTEST_MAIN(DirectoryPickerTest)
#include "directorypickertest.moc"
