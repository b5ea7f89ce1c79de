// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "uniquefd.h"

#include <unistd.h>

void UniqueFd::reset()
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}
