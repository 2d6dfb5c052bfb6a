// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#pragma once

#include <QString>

// What every fuzz target shares: a check that stops the run with a report libFuzzer keeps the
// input for, and quiet Qt logging so that the expected warnings on bad input do not slow the
// runs down.

// Writes "<file>:<line>: invariant broken: <what>" and the detail, then aborts.
[[noreturn]] void fuzzFailure(const char *file, int line, const char *what, const QString &detail);

#define FUZZ_CHECK(condition, detail)                                                                                  \
    do {                                                                                                               \
        if (!(condition))                                                                                              \
            fuzzFailure(__FILE__, __LINE__, #condition, (detail));                                                     \
    } while (false)

// Drops debug, info and warning messages; critical and fatal ones still reach stderr.
void quietQtMessages();
