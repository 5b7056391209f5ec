# SPDX-License-Identifier: GPL-2.0-or-later
# Cross builds for Windows (mingw-w64; see scripts/cross-build.sh).

# The programs built here run under Wine, whose drive Z: is this machine's
# root; a bare "/work/..." would be a path on the current drive there.
set(TAVROLITH_SOURCE_DIR_ON_TARGET "Z:${PROJECT_SOURCE_DIR}")
#
# The header-only host libraries (SimpleIni, CLI11) are made visible through
# a folder of their own: the cross compiler must never search the host's
# /usr/include, whose C library headers are not Windows'.
set(host_headers ${CMAKE_BINARY_DIR}/host-headers)
file(MAKE_DIRECTORY ${host_headers})
foreach(item SimpleIni.h CLI)
  if(EXISTS /usr/include/${item})
    file(CREATE_LINK /usr/include/${item} ${host_headers}/${item} SYMBOLIC)
  endif()
endforeach()
include_directories(SYSTEM ${host_headers})

# Debian's libgtest-dev is built for the host only; the sources of the
# package googletest are built here with the cross compiler. Added before
# the project's warning options, which are not GoogleTest's business.
if(TAVROLITH_TESTS)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()

# Debian's simpleini.pc asks for a host library and ICU; on Windows the one
# header converts text with the system's own functions and needs neither.
# Debian's header keeps its template bodies behind SI_IMPLEMENTATION (for
# its own library); the cross build compiles them where they are used.
set(pc_dir ${CMAKE_BINARY_DIR}/host-pkgconfig)
file(WRITE ${pc_dir}/simpleini.pc
  "Name: simpleini\nDescription: SimpleIni header for the cross build\nVersion: 4.19\nCflags: -I${host_headers} -DSI_IMPLEMENTATION\n")
set(ENV{PKG_CONFIG_LIBDIR} ${pc_dir})
set(ENV{PKG_CONFIG_PATH} "")
