// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#pragma once

#include "report.h"

#include <string>

// Extracts every member of the ZIP archive at archivePath into the directory
// targetPath (created if missing), reporting each member written and each
// problem through report, and returns the exit status (Report's constants).
int extractArchive(const std::string &archivePath, const std::string &targetPath, Report &report);
