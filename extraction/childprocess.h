// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#pragma once

#include "erroroutput.h"
#include "extractorcommand.h"

// How a child started by runAndWait came to its end.
struct ChildEnd
{
    enum class Kind {
        Exited,     // value is the exit status
        Signalled,  // value is the signal that ended it
        NotStarted, // value is the errno of the failed start
        Lost,       // value is the errno of the failed wait
    };

    Kind kind = Kind::NotStarted;
    int value = 0;

    bool succeeded() const { return kind == Kind::Exited && value == 0; }
};

// How a child ended and what it wrote on its standard error.
struct ChildRun
{
    ChildEnd end;
    ErrorOutput errorOutput;
};

// Starts command.program directly, with exactly its two arguments and no
// shell, and returns only after the child has ended. The child gets the
// program's environment, working directory, standard input and output, at
// the program's own priority; its standard error is a pipe, read while the
// child runs so that the child never waits on it, and kept within the bounds
// of ErrorOutput, lines starting with repeatedPrefix kept without it.
// Meanwhile the calling thread's event loop goes on serving events (timers,
// painting, the window system's requests), as the caller's filters let it; a
// QCoreApplication must exist. There is no time-out: a child that never ends
// keeps the caller waiting. Nothing is shown to the user.
ChildRun runAndWait(const ExtractorCommand &command, const QByteArray &repeatedPrefix = {});

// Gives SIGCHLD its default disposition, whatever the program inherited from
// what started it: an ignored SIGCHLD, or one handled with SA_NOCLDWAIT, lets
// the system reap every child at once, so runAndWait could no longer learn how
// one ended. Called at start-up, before any child is started.
void restoreChildSignalDefault();
