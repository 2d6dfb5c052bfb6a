# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Brenvale Control developers
target_sources(brenvale_gui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/BundleResources.cpp
    ${CMAKE_CURRENT_LIST_DIR}/PeerBoxes.cpp
    ${CMAKE_CURRENT_LIST_DIR}/WebClass.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Window1.cpp
)
