# SPDX-License-Identifier: GPL-2.0-or-later
# Cross build for Windows with Debian's mingw-w64; the toolchain file of an
# architecture sets CMAKE_SYSTEM_PROCESSOR and includes this one.
set(CMAKE_SYSTEM_NAME Windows)
set(TAVROLITH_MINGW_TRIPLE ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32)
set(CMAKE_C_COMPILER ${TAVROLITH_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TAVROLITH_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TAVROLITH_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TAVROLITH_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# The programs carry the compiler's run-time libraries inside, so that they
# run from any folder without DLLs beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
