// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
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

#include <cerrno>

#include <sys/stat.h>

static const QStringList untouchedFields{"/before/source", "/before/destination"};

// The buttons whose design names do not say what they do.
static const char *const pickDestinationButton = "Command3";
static const char *const cancelButton = "Command1"; // "&ANNULLA"

static DirectoryPicker *existingPicker()
{
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (auto *picker = qobject_cast<DirectoryPicker *>(window))
            return picker;
    }
    return nullptr;
}

// The main window with its picker, as a user meets them: the main window
// shown, its directory fields holding texts the picker must not touch unless
// told to.
struct Windows
{
    Windows() : mainWindow(programDirectory.path())
    {
        field("origine")->setText(untouchedFields[0]);
        field("destinazione")->setText(untouchedFields[1]);
        mainWindow.show();
    }
    QLineEdit *field(const char *name) const { return mainWindow.findChild<QLineEdit *>(name); }
    QStringList fields() const { return {field("origine")->text(), field("destinazione")->text()}; }
    void open(const char *button)
    {
        QTest::mouseClick(mainWindow.findChild<QPushButton *>(button), Qt::LeftButton);
        picker = existingPicker();
        list = picker->findChild<DirectoryList *>("Direct");
        drives = picker->findChild<QComboBox *>("Drive1");
    }
    void click(const char *button)
    {
        QTest::mouseClick(picker->findChild<QPushButton *>(button), Qt::LeftButton);
    }
    QString path() const { return QFile::decodeName(list->currentPath()); }
    bool moveTo(const QString &path) { return list->setPath(QFile::encodeName(path)).ok(); }
    QTreeWidgetItem *entryNamed(const QString &name) const
    {
        const auto found = list->findItems(name, Qt::MatchExactly | Qt::MatchRecursive);
        return found.size() == 1 ? found.first() : nullptr;
    }

    MessageBoxCatcher reports;
    QTemporaryDir programDirectory;
    MainWindow mainWindow;
    DirectoryPicker *picker = nullptr;
    DirectoryList *list = nullptr;
    QComboBox *drives = nullptr;
};

class DirectoryPickerTest : public QObject
{
    Q_OBJECT

public:
    // How the user moves from a fixture holding "roms", and what the list does.
    enum class Move { ToAnotherDrive, ToTheDriveShown, ToAnUnmountedDrive, IntoARemovedDirectory };
    Q_ENUM(Move)
    enum class Outcome { ShowsRoms, StaysQuietly, StaysAndReports };
    Q_ENUM(Outcome)

private slots:
    void windowAndTabOrder();
    void openingConfirmingCancellingAndReopening_data();
    void openingConfirmingCancellingAndReopening();
    void movingByDriveOrEntry_data();
    void movingByDriveOrEntry();
    void driveHoldingAPath_data();
    void driveHoldingAPath();
    void keysAndTheFramePressOnlyWhatTheyShould_data();
    void keysAndTheFramePressOnlyWhatTheyShould();
    void pathText_data();
    void pathText();
    void pathChainAndSubdirectories();
    void directoryNotValidAsTextOpensButIsNotWritten();
};

void DirectoryPickerTest::windowAndTabOrder()
{
    Windows windows;
    windows.open("browse");
    DirectoryPicker *picker = windows.picker;
    QCOMPARE(picker->windowTitle(), "Seleziona la directory");
    QCOMPARE(picker->geometry(), QRect(275, 139, 242, 325));
    QCOMPARE(picker->minimumSize(), picker->maximumSize());
    QVERIFY(!picker->testAttribute(Qt::WA_SetWindowIcon) && !picker->isModal());
    QCOMPARE(windows.drives->currentText(), driveHolding(QDir::currentPath(), readyMountPoints()));
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
    QTest::addColumn<bool>("sourceFirst");
    QTest::newRow("source, then destination, moving by Enter") << true;
    QTest::newRow("destination, then source, moving by double click") << false;
}

// The picker keeps its directory from one opening to the next, and "&OK"
// fills the field of the button that opened it.
void DirectoryPickerTest::openingConfirmingCancellingAndReopening()
{
    QFETCH(bool, sourceFirst);
    const char *first = sourceFirst ? "browse" : pickDestinationButton;
    const int firstField = sourceFirst ? 0 : 1;
    QTemporaryDir fixture;
    const QString roms = fixture.filePath("roms");
    QVERIFY(QDir().mkdir(roms));
    Windows windows;
    QVERIFY(!existingPicker());

    windows.open(first);
    DirectoryPicker *picker = windows.picker;
    QVERIFY(picker->isVisible() && !windows.mainWindow.isVisible());
    QCOMPARE(windows.path(), "/");
    windows.click("ok");
    QStringList fields = untouchedFields;
    fields[firstField] = "/";
    QCOMPARE(windows.fields(), fields);
    QVERIFY(!picker->isVisible() && windows.mainWindow.isVisible());

    windows.open(first);
    QVERIFY(windows.moveTo(fixture.path()));
    QTreeWidgetItem *entry = windows.entryNamed("roms");
    QVERIFY(entry);
    if (sourceFirst) {
        windows.list->setCurrentItem(entry);
        QTest::keyClick(windows.list, Qt::Key_Return);
    } else {
        // A double click reaches a widget as a click followed by a double-click event.
        const QPoint centre = windows.list->visualItemRect(entry).center();
        QTest::mouseClick(windows.list->viewport(), Qt::LeftButton, {}, centre);
        QTest::mouseDClick(windows.list->viewport(), Qt::LeftButton, {}, centre);
    }
    QCOMPARE(windows.path(), roms);
    windows.click(cancelButton);
    QVERIFY(!picker->isVisible() && windows.mainWindow.isVisible());
    QCOMPARE(windows.fields(), fields);

    windows.open(sourceFirst ? pickDestinationButton : "browse");
    QCOMPARE(windows.picker, picker);
    QCOMPARE(windows.path(), roms);
    windows.click("ok");
    fields[1 - firstField] = roms;
    QCOMPARE(windows.fields(), fields);
    QVERIFY(windows.reports.texts.isEmpty());
}

// The list shows a directory of a fixture holding "roms" when a drive is
// picked or "roms" entered. A directory that cannot be read is reported and
// leaves the list, its entries and the drive shown as they were.
void DirectoryPickerTest::movingByDriveOrEntry_data()
{
    QTest::addColumn<Move>("move"); // any drive but the one shown is "roms" itself
    QTest::addColumn<Outcome>("outcome");
    QTest::newRow("another drive moves the list to its root at once")
        << Move::ToAnotherDrive << Outcome::ShowsRoms;
    QTest::newRow("the drive shown, picked again, keeps the directory")
        << Move::ToTheDriveShown << Outcome::StaysQuietly;
    QTest::newRow("drive unmounted after the list was filled")
        << Move::ToAnUnmountedDrive << Outcome::StaysAndReports;
    QTest::newRow("directory removed after the list was filled")
        << Move::IntoARemovedDirectory << Outcome::StaysAndReports;
}

void DirectoryPickerTest::movingByDriveOrEntry()
{
    QFETCH(Move, move);
    QFETCH(Outcome, outcome);
    QTemporaryDir fixture;
    const QString roms = fixture.filePath("roms");
    QVERIFY(QDir().mkdir(roms));
    Windows windows;
    windows.open(pickDestinationButton);
    QVERIFY(windows.moveTo(fixture.path()));
    const QString drive = windows.drives->currentText();
    if (move == Move::ToAnUnmountedDrive || move == Move::IntoARemovedDirectory)
        QVERIFY(QDir().rmdir(roms));

    if (move == Move::IntoARemovedDirectory) {
        windows.list->setCurrentItem(windows.entryNamed("roms"));
        QTest::keyClick(windows.list, Qt::Key_Return);
    } else {
        if (move != Move::ToTheDriveShown)
            windows.drives->addItem(roms);
        const int index = move == Move::ToTheDriveShown ? windows.drives->currentIndex()
                                                        : windows.drives->count() - 1;
        windows.drives->setCurrentIndex(index);
        emit windows.drives->activated(index);
    }

    const QString failure =
        "Impossibile leggere la directory " + roms + "\n\n2: No such file or directory";
    QTRY_COMPARE(windows.reports.texts,
                 outcome == Outcome::StaysAndReports ? QStringList(failure) : QStringList());
    QCOMPARE(windows.path(), outcome == Outcome::ShowsRoms ? roms : fixture.path());
    QVERIFY(windows.entryNamed("roms"));
    QCOMPARE(windows.drives->currentText(), outcome == Outcome::ShowsRoms ? roms : drive);
    QVERIFY(windows.picker->isVisible());
}

// A path on a file system the list leaves out, such as /dev/shm, is shown on
// the listed drive above it.
void DirectoryPickerTest::driveHoldingAPath_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("drive");
    const auto row = [](const char *name, const char *path, const char *drive) {
        QTest::newRow(name) << path << drive;
    };
    row("a drive's root", "/home", "/home");
    row("inside the deepest drive", "/home/user/roms/", "/home/user");
    row("unlisted file system below a listed drive", "/dev/shm/roms", "/dev");
    row("unlisted file system below the root only", "/run/shm", "/");
    row("a longer name is not inside a drive", "/homework", "/");
}

void DirectoryPickerTest::driveHoldingAPath()
{
    QFETCH(QString, path);
    QFETCH(QString, drive);
    QCOMPARE(::driveHolding(path, {"/", "/dev", "/home", "/home/user", "/media/usb"}), drive);
}

void DirectoryPickerTest::keysAndTheFramePressOnlyWhatTheyShould_data()
{
    QTest::addColumn<QString>("focused"); // empty: the frame's close box
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("origine");
    QTest::addColumn<bool>("pickerClosed");
    const QString untouched = untouchedFields[0];
    QTest::newRow("Enter on OK confirms") << "ok" << int(Qt::Key_Return) << "/" << true;
    QTest::newRow("Enter on ANNULLA cancels")
        << cancelButton << int(Qt::Key_Return) << untouched << true;
    QTest::newRow("Enter on the drive list presses nothing")
        << "Drive1" << int(Qt::Key_Return) << untouched << false;
    QTest::newRow("Escape on the directory list presses nothing")
        << "Direct" << int(Qt::Key_Escape) << untouched << false;
    QTest::newRow("Escape on OK presses nothing")
        << "ok" << int(Qt::Key_Escape) << untouched << false;
    QTest::newRow("the frame's close box cancels") << "" << 0 << untouched << true;
}

void DirectoryPickerTest::keysAndTheFramePressOnlyWhatTheyShould()
{
    QFETCH(QString, focused);
    QFETCH(int, key);
    QFETCH(QString, origine);
    QFETCH(bool, pickerClosed);
    Windows windows;
    QSignalSpy lastWindowClosed(qApp, &QGuiApplication::lastWindowClosed);
    windows.open("browse");

    if (focused.isEmpty()) {
        windows.picker->close();
    } else {
        QWidget *control = windows.picker->findChild<QWidget *>(focused);
        control->setFocus();
        QTest::keyClick(control, Qt::Key(key));
    }

    QCOMPARE(windows.fields(), (QStringList{origine, untouchedFields[1]}));
    QCOMPARE(windows.picker->isVisible(), !pickerClosed);
    QCOMPARE(windows.mainWindow.isVisible(), pickerClosed);
    QCOMPARE(lastWindowClosed.count(), 0);
}

void DirectoryPickerTest::pathText_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QByteArray>("text");
    const auto row = [](const char *name, const QByteArray &path, const QByteArray &text) {
        QTest::newRow(name) << path << text;
    };
    row("root stays the root", "/", "/");
    row("trailing separator is dropped", "/home/user/", "/home/user");
    row("doubled separators become one", "//home//user", "/home/user");
    row("dot parts are resolved", "/home/./user/../guest", "/home/guest");
    row("going above the root stays at the root", "/..", "/");
    row("relative path is taken from the working directory", "roms",
        QFile::encodeName(QDir::currentPath() + "/roms"));
}

void DirectoryPickerTest::pathText()
{
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, text);
    QCOMPARE(::pathText(path), text);
}

// Subdirectories are only directories and links to them, hidden ones left
// out, sorted without regard to case.
void DirectoryPickerTest::pathChainAndSubdirectories()
{
    QCOMPARE(pathChain("/"), QByteArrayList{"/"});
    QCOMPARE(pathChain("/home/user/roms/"),
             QByteArrayList({"/", "/home", "/home/user", "/home/user/roms"}));

    QTemporaryDir fixture;
    const QDir root(fixture.path());
    for (const char *directory : {"zeta", "Alpha", "beta", "Gamma", ".hidden", "àccento"})
        QVERIFY(root.mkdir(directory));
    QVERIFY(QFile(root.filePath("PACMAN.ZIP")).open(QIODevice::WriteOnly));
    QVERIFY(QFile::link(root.filePath("zeta"), root.filePath("link to zeta")));
    QVERIFY(QFile::link(root.filePath("PACMAN.ZIP"), root.filePath("link to a file")));
    QVERIFY(QFile::link(root.filePath("gone"), root.filePath("dangling link")));
    const Result<QByteArrayList> listing = listSubdirectories(QFile::encodeName(fixture.path()));
    QVERIFY(listing);
    QCOMPARE(*listing, QByteArrayList({"Alpha", "beta", "Gamma", "link to zeta", "zeta",
                                       QStringLiteral("àccento").toUtf8()}));
}

// Such a name leads back to its directory only through its own bytes; a text
// field holding it would name another directory, so "&OK" says so instead.
void DirectoryPickerTest::directoryNotValidAsTextOpensButIsNotWritten()
{
    QTemporaryDir fixture;
    const QByteArray latin1 = QFile::encodeName(fixture.path()) + "/caf\xe9";
    QVERIFY(mkdir(latin1.constData(), 0777) == 0 && mkdir(latin1 + "/roms", 0777) == 0);
    Windows windows;
    windows.open("browse");
    QVERIFY(windows.moveTo(fixture.path()));

    windows.list->setCurrentItem(windows.entryNamed(QString::fromUtf8("caf\xe9")));
    QTest::keyClick(windows.list, Qt::Key_Return);
    QCOMPARE(windows.list->currentPath(), latin1);
    QVERIFY(windows.entryNamed("roms"));
    windows.click("ok");

    QTRY_COMPARE(windows.reports.texts.size(), 1);
    QVERIFY(windows.reports.texts[0].contains(QStringLiteral("\n\n%1: ").arg(EILSEQ)));
    QCOMPARE(windows.fields(), untouchedFields);
    QVERIFY(windows.picker->isVisible());
}

QTEST_MAIN(DirectoryPickerTest)
#include "directorypickertest.moc"
