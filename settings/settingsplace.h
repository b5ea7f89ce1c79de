// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#pragma once

#include "programcopy.h"

#include <QString>

// Where the settings file lies. Decided here alone; the settings file code
// reads and writes whatever path it is given.

// What decides where the settings file lies, as the running user finds it.
struct SettingsPlaceFacts
{
    QString programDirectory;
    // The program's directory already holds "ini.ini" (of whatever kind).
    bool programDirectoryHoldsSettings = false;
    // The user may create a file in the program's directory.
    bool programDirectoryTakesNewFiles = false;
    // $XDG_CONFIG_HOME as set, empty when it is not.
    QString configHome;
    // The user's home directory.
    QString home;
    ProgramCopy copy = ProgramCopy::Portable;
};

// The settings file for a program with these facts. An installed copy keeps
// each user's settings, root's included, in "vrillo/ini.ini" in that user's
// configuration directory: configHome when it is an absolute path, home's
// ".config" when it is empty or relative; it never touches the directory it
// shares with every user. A portable copy keeps "ini.ini" beside itself when
// its directory holds one or takes new files, and in the configuration
// directory only where it cannot.
QString settingsFileFor(const SettingsPlaceFacts &facts);

// The settings file of copy, a program in programDirectory, for this
// process's user, the facts read from the system and the environment of this
// process. Meant to be decided once at start-up and kept.
QString settingsFileOfProgram(const QString &programDirectory, ProgramCopy copy);
