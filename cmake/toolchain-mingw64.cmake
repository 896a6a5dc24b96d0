# Cross build for 64-bit Windows with Debian's mingw-w64 (posix thread model,
# so std::thread and std::mutex work as on Linux).
#
# The libraries ZELK links come from a prefix built by
# scripts/build-mingw-deps.sh; name it with -DZELK_MINGW_DEPS=<prefix> or the
# environment variable of the same name. Everything is linked statically, so
# the programs run without any DLL beside them (also under wine).

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ZELK_MINGW_TRIPLE x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${ZELK_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZELK_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${ZELK_MINGW_TRIPLE}-windres)

if(NOT ZELK_MINGW_DEPS AND DEFINED ENV{ZELK_MINGW_DEPS})
  set(ZELK_MINGW_DEPS "$ENV{ZELK_MINGW_DEPS}")
endif()
# try_compile projects load this file again; hand the prefix on to them.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ZELK_MINGW_DEPS)

# Target headers and libraries only from the mingw sysroot and our prefix;
# programs (pkg-config, wine) from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${ZELK_MINGW_TRIPLE})
if(ZELK_MINGW_DEPS)
  list(PREPEND CMAKE_FIND_ROOT_PATH ${ZELK_MINGW_DEPS})
  list(PREPEND CMAKE_PREFIX_PATH ${ZELK_MINGW_DEPS})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config must see the target's .pc files, never the build machine's.
set(ENV{PKG_CONFIG_LIBDIR} "${ZELK_MINGW_DEPS}/lib/pkgconfig:/usr/${ZELK_MINGW_TRIPLE}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
unset(ENV{PKG_CONFIG_SYSROOT_DIR})

# The sysroot has both libz.a and the import library libz.dll.a; take the
# static one so that no zlib1.dll is needed.
set(ZLIB_USE_STATIC_LIBS ON CACHE BOOL "Link zlib statically")

# GCC 12 reports impossible overlaps in inlined std::string copies at -O2
# (GCC bug 105329); with mingw's headers it does so in ordinary code.
set(CMAKE_CXX_FLAGS_INIT "-Wno-restrict")

# No DLLs of the compiler's runtime (libstdc++, libgcc, winpthread) either.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# The data-set step, test discovery and ctest run the Windows programs
# through wine (see the wrapper for why not wine itself).
find_program(ZELK_WINE_PROGRAM NAMES wine)
if(ZELK_WINE_PROGRAM)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
endif()
