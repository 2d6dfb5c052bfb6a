# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Brenvale Control developers
# One interface target carries the language level, the warnings and the strict Qt defines;
# every target of the project links it.
add_library(brenvale_common INTERFACE)
target_compile_features(brenvale_common INTERFACE cxx_std_20)
target_compile_options(brenvale_common INTERFACE -Wall -Wextra -pedantic)
target_compile_definitions(brenvale_common INTERFACE
    QT_NO_CAST_FROM_ASCII
    QT_NO_CONTEXTLESS_CONNECT
    QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
    QT_NO_KEYWORDS)

option(BRENVALE_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(BRENVALE_SANITIZE)
    target_compile_options(brenvale_common INTERFACE
        -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    target_link_options(brenvale_common INTERFACE -fsanitize=address,undefined)
endif()
