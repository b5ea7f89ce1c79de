// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright 2026 The Vrillo developers
#pragma once

#include <QColor>

#include <random>

// Single-precision values in [0, 1) from a generator that is never seeded, so
// every run of the program draws the same sequence.
class UnseededRandom
{
public:
    float next();

private:
    std::mt19937 engine;
};

// The integer nearest to r × 120 formed in single precision, ties to even:
// 0 for r = 0, never more than 120 for r below 1.
int colourChannel(float r);

// The dark colours the contact label cycles through: red, green and blue
// drawn in that order, each a colourChannel of the next random value.
class ColourCycle
{
public:
    QColor next();

private:
    UnseededRandom random;
};
