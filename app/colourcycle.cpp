// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#include "colourcycle.h"

#include <cmath>

float UnseededRandom::next()
{
    // The top 24 bits fill a float's mantissa exactly, so the result is
    // uniform and can never round up to 1.
    return static_cast<float>(engine() >> 8) * (1.0f / 16777216.0f);
}

int colourChannel(float r)
{
    const float product = r * 120.0f;
    // nearbyint rounds in the default mode, which sends ties to even.
    return static_cast<int>(std::nearbyint(product));
}

QColor ColourCycle::next()
{
    const int red = colourChannel(random.next());
    const int green = colourChannel(random.next());
    const int blue = colourChannel(random.next());
    return QColor(red, green, blue);
}
