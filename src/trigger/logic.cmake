# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Brenvale Control developers
target_sources(brenvale_logic PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/ChrWorksBody.cpp
    ${CMAKE_CURRENT_LIST_DIR}/DailyLogFile.cpp
    ${CMAKE_CURRENT_LIST_DIR}/NumberText.cpp
    ${CMAKE_CURRENT_LIST_DIR}/RelayCommand.cpp
    ${CMAKE_CURRENT_LIST_DIR}/TallyAction.cpp
    ${CMAKE_CURRENT_LIST_DIR}/TallyPlayLimit.cpp
    ${CMAKE_CURRENT_LIST_DIR}/TSLTallyPacket.cpp
)
