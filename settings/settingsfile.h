// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#pragma once

#include "settingsformat.h"

// Replaces the file at path with the settings for directories. The new
// content is written beside it and takes its place only once complete, so a
// failed save leaves the previous file exactly as it was. Missing folders
// above the file are made first, readable by the user alone.
Result<void> saveSettingsFile(const QString &path, const SavedDirectories &directories);

// Reads the directories from the settings file at path.
Result<SavedDirectories> loadSettingsFile(const QString &path);

// Whether a load failed only because there is no settings file yet, as on a
// first run.
bool isMissingSettingsFile(const Failure &failure);
