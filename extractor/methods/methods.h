// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#pragma once

#include "base/decoder.h"

// Decodes one member's data with its compression method, as any Decoder
// does; a method pkunzip cannot decode fails with "unsupported compression
// method".
Decoder decodeMember;
