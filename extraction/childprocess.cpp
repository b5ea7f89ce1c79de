// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "childprocess.h"

#include "uniquefd.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <memory>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

struct SpawnAttributes
{
    posix_spawnattr_t attributes;

    SpawnAttributes() { posix_spawnattr_init(&attributes); }
    ~SpawnAttributes() { posix_spawnattr_destroy(&attributes); }
    SpawnAttributes(const SpawnAttributes &) = delete;
    SpawnAttributes &operator=(const SpawnAttributes &) = delete;
};

struct SpawnFileActions
{
    posix_spawn_file_actions_t actions;

    SpawnFileActions() { posix_spawn_file_actions_init(&actions); }
    ~SpawnFileActions() { posix_spawn_file_actions_destroy(&actions); }
    SpawnFileActions(const SpawnFileActions &) = delete;
    SpawnFileActions &operator=(const SpawnFileActions &) = delete;
};

} // namespace

// An ignored SIGPIPE or a blocked signal would otherwise pass through exec to
// the extractor; it starts with the defaults a shell would give it.
static void resetSignals(SpawnAttributes &spawn)
{
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&spawn.attributes, &none);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&spawn.attributes, &defaults);
    posix_spawnattr_setflags(&spawn.attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
}

static ChildEnd waitForEnd(pid_t child)
{
    int status = 0;
    while (waitpid(child, &status, 0) == -1) {
        if (errno != EINTR)
            return {ChildEnd::Kind::Lost, errno};
    }
    if (WIFSIGNALED(status))
        return {ChildEnd::Kind::Signalled, WTERMSIG(status)};
    return {ChildEnd::Kind::Exited, WEXITSTATUS(status)};
}

void restoreChildSignalDefault()
{
    // SIGCHLD is the only signal whose disposition decides whether a child can
    // be waited for; the flags are cleared with it, SA_NOCLDWAIT included.
    struct sigaction defaultAction
    {
    };
    defaultAction.sa_handler = SIG_DFL;
    sigemptyset(&defaultAction.sa_mask);
    sigaction(SIGCHLD, &defaultAction, nullptr);
}

// Reads what the pipe holds now, at most a megabyte, so that a child that
// writes without pause cannot keep the event loop from its other work. False
// once the pipe has nothing more to give.
static bool readAvailable(int pipe, ErrorOutput &output)
{
    char buffer[64 * 1024];
    for (int chunk = 0; chunk < 16; ++chunk) {
        const ssize_t count = read(pipe, buffer, sizeof buffer);
        if (count > 0)
            output.append(QByteArrayView(buffer, count));
        else if (count == 0 || (errno != EINTR && errno != EAGAIN))
            return false;
        else if (errno == EAGAIN)
            return true;
    }
    return true;
}

static bool hasEnded(pid_t child)
{
    siginfo_t info = {};
    return waitid(P_PID, child, &info, WEXITED | WNOHANG | WNOWAIT) != 0 || info.si_pid != 0;
}

// The child's end is watched through a pidfd; a kernel without pidfds (before
// Linux 5.3) gets a look every 20 ms instead.
static void serveEventsUntilEnd(pid_t child, int errorPipe, ErrorOutput &output)
{
    bool ended = false;
    QSocketNotifier reasons(errorPipe, QSocketNotifier::Read);
    QObject::connect(&reasons, &QSocketNotifier::activated, [&] {
        if (!readAvailable(errorPipe, output))
            reasons.setEnabled(false);
    });
    const UniqueFd endOfChild(int(syscall(SYS_pidfd_open, child, 0)));
    std::unique_ptr<QObject> endWatch;
    if (endOfChild.isOpen()) {
        auto *notifier = new QSocketNotifier(endOfChild.get(), QSocketNotifier::Read);
        QObject::connect(notifier, &QSocketNotifier::activated, [&] { ended = true; });
        endWatch.reset(notifier);
    } else {
        auto *look = new QTimer;
        QObject::connect(look, &QTimer::timeout, [&] { ended = hasEnded(child); });
        look->start(20);
        endWatch.reset(look);
    }
    // Not a nested QEventLoop: QCoreApplication::exit() would end that at
    // once, and the batch must not go on while its extractor still runs.
    while (!ended)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

static int spawn(const ExtractorCommand &command, int standardError, pid_t *child)
{
    const QByteArray &program = command.program;
    // posix_spawn takes non-const pointers but does not write through them.
    char *const argv[] = {const_cast<char *>(program.constData()),
                          const_cast<char *>(command.arguments[0].constData()),
                          const_cast<char *>(command.arguments[1].constData()), nullptr};

    SpawnAttributes spawn;
    resetSignals(spawn);
    SpawnFileActions files;
    posix_spawn_file_actions_adddup2(&files.actions, standardError, STDERR_FILENO);
    return posix_spawn(child, program.constData(), &files.actions, &spawn.attributes, argv,
                       environ);
}

static ChildRun notStarted(ChildRun run, int error)
{
    run.end = {ChildEnd::Kind::NotStarted, error};
    return run;
}

ChildRun runAndWait(const ExtractorCommand &command, const QByteArray &repeatedPrefix)
{
    ChildRun run{{}, ErrorOutput(repeatedPrefix)};
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0)
        return notStarted(std::move(run), errno);
    const UniqueFd readEnd(ends[0]);
    UniqueFd writeEnd(ends[1]);
    // Only the reading end is non-blocking: the child writes to its end as
    // it would to a terminal.
    if (fcntl(readEnd.get(), F_SETFL, O_NONBLOCK) != 0)
        return notStarted(std::move(run), errno);
    pid_t child = 0;
    const int error = spawn(command, writeEnd.get(), &child);
    // Once only the child holds the writing end, the pipe ends with it.
    writeEnd.reset();
    if (error != 0)
        return notStarted(std::move(run), error);
    serveEventsUntilEnd(child, readEnd.get(), run.errorOutput);
    // What the child wrote last is still in the pipe; a process it left
    // behind may keep the pipe open, so this reads what is there and no more.
    readAvailable(readEnd.get(), run.errorOutput);
    run.errorOutput.finish();
    run.end = waitForEnd(child);
    return run;
}
