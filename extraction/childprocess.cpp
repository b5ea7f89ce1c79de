// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "childprocess.h"

#include <cerrno>
#include <csignal>
#include <spawn.h>
#include <sys/wait.h>

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

ChildEnd runAndWait(const ExtractorCommand &command)
{
    const QByteArray &program = command.program;
    // posix_spawn takes non-const pointers but does not write through them.
    char *const argv[] = {const_cast<char *>(program.constData()),
                          const_cast<char *>(command.arguments[0].constData()),
                          const_cast<char *>(command.arguments[1].constData()), nullptr};

    SpawnAttributes spawn;
    resetSignals(spawn);
    pid_t child = 0;
    const int error =
        posix_spawn(&child, program.constData(), nullptr, &spawn.attributes, argv, environ);
    if (error != 0)
        return {ChildEnd::Kind::NotStarted, error};
    return waitForEnd(child);
}
