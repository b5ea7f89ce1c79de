// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#pragma once

// How this copy of the program was built: to run from a folder of its own,
// which it may carry anywhere with its settings, or for the package, which
// installs it in a system directory shared by every user.
enum class ProgramCopy {
    Portable,
    Installed,
};
