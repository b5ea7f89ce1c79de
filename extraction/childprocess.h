// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#pragma once

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

// Starts command.program directly, with exactly its two arguments and no
// shell, and returns only after the child has ended. The child gets the
// program's environment, working directory and standard input, output and
// error, at the program's own priority. There is no time-out: a child that
// never ends keeps the caller waiting. Nothing is shown to the user.
ChildEnd runAndWait(const ExtractorCommand &command);

// Gives SIGCHLD its default disposition, whatever the program inherited from
// what started it: an ignored SIGCHLD, or one handled with SA_NOCLDWAIT, lets
// the system reap every child at once, so runAndWait could no longer learn how
// one ended. Called at start-up, before any child is started.
void restoreChildSignalDefault();
