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

option(BRENVALE_WERROR "Treat compiler warnings as errors" OFF)
if(BRENVALE_WERROR)
    target_compile_options(brenvale_common INTERFACE -Werror)
endif()

option(BRENVALE_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(BRENVALE_SANITIZE)
    target_compile_options(brenvale_common INTERFACE
        -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    target_link_options(brenvale_common INTERFACE -fsanitize=address,undefined)
endif()

# One static library per source folder. Its headers are reached by path from src
# ("core/trigger/TallyAction.h"), and only by the targets that link it: each library offers an
# include folder of its own that holds just its folder, so an include of a folder the target
# does not depend on (a core file reaching into gui, say) fails to build.
function(brenvale_add_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;PUBLIC;PRIVATE" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR}/src ${CMAKE_CURRENT_SOURCE_DIR})
    set(stage ${CMAKE_CURRENT_BINARY_DIR}/include)
    get_filename_component(parent ${stage}/${folder} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${stage}/${folder} SYMBOLIC)
    target_include_directories(${name} PUBLIC ${stage})
    target_link_libraries(${name} PUBLIC brenvale_common ${ARG_PUBLIC} PRIVATE ${ARG_PRIVATE})
endfunction()
