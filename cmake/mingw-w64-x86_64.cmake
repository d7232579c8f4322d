# Cross-building for 64-bit Windows with Debian's MinGW-w64 compilers (posix
# threading variant, so std::thread and friends are available).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QUORVE_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QUORVE_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUORVE_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${QUORVE_MINGW_PREFIX}-windres)

# Target libraries come from the MinGW sysroot and from the dependency prefixes
# (CMAKE_PREFIX_PATH) only, never from the build machine's own; programs run on
# the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${QUORVE_MINGW_PREFIX} ${CMAKE_PREFIX_PATH})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config must see the target's .pc files, not the build machine's.
set(QUORVE_PKG_CONFIG_DIRS /usr/${QUORVE_MINGW_PREFIX}/lib/pkgconfig)
foreach(prefix ${CMAKE_PREFIX_PATH})
  list(PREPEND QUORVE_PKG_CONFIG_DIRS ${prefix}/lib/pkgconfig)
endforeach()
string(JOIN ":" QUORVE_PKG_CONFIG_LIBDIR ${QUORVE_PKG_CONFIG_DIRS})
set(ENV{PKG_CONFIG_LIBDIR} "${QUORVE_PKG_CONFIG_LIBDIR}")
set(ENV{PKG_CONFIG_PATH} "")

# Test programs built here run under wine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
