// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "settingsplace.h"
#include "settingsfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <optional>

namespace {

// The ordinary user who stands in for root's users: "nobody" on Debian.
const uid_t ordinaryUser = 65534;
const gid_t ordinaryGroup = 65534;

// Asks question as an ordinary user. Root may write into any directory,
// whatever its mode, so when the tests run as root the question is asked in
// a child process that has given up root first. Nothing when that fails.
std::optional<bool> askedAsOrdinaryUser(const std::function<bool()> &question)
{
    if (geteuid() != 0)
        return question();
    const pid_t child = fork();
    if (child < 0)
        return std::nullopt;
    if (child == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(ordinaryGroup) != 0 || setuid(ordinaryUser) != 0)
            _exit(2);
        _exit(question() ? 1 : 0);
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) > 1)
        return std::nullopt;
    return WEXITSTATUS(status) == 1;
}

} // namespace

class SettingsPlaceTest : public QObject
{
    Q_OBJECT

private slots:
    void rule_data();
    void rule();
    void programDirectoryAsTheUserFindsIt_data();
    void programDirectoryAsTheUserFindsIt();
    void firstSaveMakesThePrivateFolder();
};

void SettingsPlaceTest::rule_data()
{
    QTest::addColumn<bool>("installed");
    QTest::addColumn<bool>("holdsSettings");
    QTest::addColumn<bool>("takesNewFiles");
    QTest::addColumn<QString>("configHome");
    QTest::addColumn<QString>("settingsFile");

    const QString beside = QStringLiteral("/opt/vrillo/ini.ini");
    const QString dotConfig = QStringLiteral("/home/anna/.config/vrillo/ini.ini");
    const QString configHome = QStringLiteral("/srv/anna/config");
    const QString inConfigHome = QStringLiteral("/srv/anna/config/vrillo/ini.ini");
    QTest::newRow("a writable directory keeps the file beside the program")
        << false << false << true << configHome << beside;
    QTest::newRow("a file already there stays in use in a read-only directory")
        << false << true << false << configHome << beside;
    QTest::newRow("a read-only directory sends it to XDG_CONFIG_HOME")
        << false << false << false << configHome << inConfigHome;
    QTest::newRow("a trailing slash on XDG_CONFIG_HOME adds nothing")
        << false << false << false << configHome + QStringLiteral("/") << inConfigHome;
    QTest::newRow("XDG_CONFIG_HOME unset means ~/.config")
        << false << false << false << QString() << dotConfig;
    QTest::newRow("a relative XDG_CONFIG_HOME is ignored")
        << false << false << false << QStringLiteral("srv/anna/config") << dotConfig;
    QTest::newRow("an installed copy keeps it in XDG_CONFIG_HOME where it could write beside")
        << true << true << true << configHome << inConfigHome;
}

void SettingsPlaceTest::rule()
{
    QFETCH(bool, installed);
    QFETCH(bool, holdsSettings);
    QFETCH(bool, takesNewFiles);
    QFETCH(QString, configHome);
    QFETCH(QString, settingsFile);
    SettingsPlaceFacts facts{QStringLiteral("/opt/vrillo"), holdsSettings, takesNewFiles,
                             configHome, QStringLiteral("/home/anna")};
    facts.copy = installed ? ProgramCopy::Installed : ProgramCopy::Portable;

    QCOMPARE(settingsFileFor(facts), settingsFile);
}

void SettingsPlaceTest::programDirectoryAsTheUserFindsIt_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("holdsSettings"); // as a directory, which no one can read as a file
    QTest::addColumn<bool>("beside");
    QTest::newRow("writable") << 0700 << false << true;
    QTest::newRow("read-only") << 0500 << false << false;
    QTest::newRow("read-only, holding settings") << 0500 << true << true;
    QTest::newRow("writable but not searchable") << 0600 << false << false;
}

void SettingsPlaceTest::programDirectoryAsTheUserFindsIt()
{
    QFETCH(int, mode);
    QFETCH(bool, holdsSettings);
    QFETCH(bool, beside);
    QTemporaryDir root;
    QVERIFY(root.isValid());
    // The child that stands for an ordinary user must reach the directory.
    QVERIFY(QFile::setPermissions(root.path(), QFile::ReadOwner | QFile::WriteOwner |
                                                   QFile::ExeOwner | QFile::ExeOther));
    const QString program = root.filePath(QStringLiteral("program"));
    const QString besideProgram = program + QStringLiteral("/ini.ini");
    QVERIFY(holdsSettings ? QDir().mkpath(besideProgram) : QDir().mkdir(program));
    // Given to that user, so the directory's mode says what the user may do.
    const QByteArray path = QFile::encodeName(program);
    QVERIFY(geteuid() != 0 || chown(path.constData(), ordinaryUser, ordinaryGroup) == 0);
    QCOMPARE(chmod(path.constData(), mode_t(mode)), 0);
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(root.filePath(QStringLiteral("config"))));
    const QString expected =
        beside ? besideProgram : root.filePath(QStringLiteral("config/vrillo/ini.ini"));

    const std::optional<bool> found = askedAsOrdinaryUser(
        [&] { return settingsFileOfProgram(program, ProgramCopy::Portable) == expected; });

    // Back to a mode that lets the temporary directory be removed.
    QCOMPARE(chmod(path.constData(), 0700), 0);
    QVERIFY2(found.has_value(), "could not ask as an ordinary user");
    QVERIFY(*found);
}

void SettingsPlaceTest::firstSaveMakesThePrivateFolder()
{
    QTemporaryDir home;
    const QString configFolder = home.filePath(QStringLiteral(".config/vrillo"));
    const QString path = configFolder + QStringLiteral("/ini.ini");

    const Result<void> saved =
        saveSettingsFile(path, {QStringLiteral("c:\\roms"), QStringLiteral("d:\\mame")});

    QVERIFY2(saved, saved ? "" : qPrintable(failureMessage(saved.failure())));
    QVERIFY(QFile::exists(path));
    for (const QString &folder : {home.filePath(QStringLiteral(".config")), configFolder}) {
        struct stat status;
        QCOMPARE(stat(QFile::encodeName(folder).constData(), &status), 0);
        QCOMPARE(status.st_mode & 07777, mode_t(0700));
    }
}

QTEST_GUILESS_MAIN(SettingsPlaceTest)
#include "settingsplacetest.moc"
