# Cross build for 64-bit Windows with Debian's mingw-w64 compilers, the POSIX threads variant
# (std::thread and std::mutex need it). Programs built here run on this machine under Wine:
# ctest and the build's own generators start them through CMAKE_CROSSCOMPILING_EMULATOR.
#
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
#
# scripts/windows/build.sh sets the rest: the libraries' prefix and the portable switches.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(BRAKKEL_MINGW_TRIPLET x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${BRAKKEL_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${BRAKKEL_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${BRAKKEL_MINGW_TRIPLET}-windres)
set(CMAKE_AR ${BRAKKEL_MINGW_TRIPLET}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${BRAKKEL_MINGW_TRIPLET}-gcc-ranlib-posix CACHE FILEPATH "")

# Headers, libraries and packages come from the cross sysroot and from the prefixes the caller
# names in CMAKE_PREFIX_PATH (the SDL family built by scripts/windows/deps.sh), never from the
# host's /usr; programs from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${BRAKKEL_MINGW_TRIPLET} ${CMAKE_PREFIX_PATH})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Programs carry the compiler's C++ and threads runtime inside them: no libstdc++-6.dll or
# libwinpthread-1.dll to ship, nor to find when Wine starts a test.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Wine, in a prefix of its own under the cache folder (the first start makes it: slow once).
# Without Wine nothing built here can run on this machine: the build's own text converter
# needs it too.
find_program(BRAKKEL_WINE NAMES wine wine64 wine-stable)
if(NOT BRAKKEL_WINE)
  message(FATAL_ERROR "Wine not found: the Windows build runs its text converter and its tests under Wine "
                      "(scripts/install-deps.sh windows installs it)")
endif()
if(NOT DEFINED ENV{WINEPREFIX})
  if(DEFINED ENV{BRAKKEL_WIN_CACHE})
    set(wine_prefix "$ENV{BRAKKEL_WIN_CACHE}/wine")
  else()
    set(wine_prefix "$ENV{HOME}/.cache/brakkel-windows/wine")
  endif()
endif()
set(BRAKKEL_WINE_PREFIX "${wine_prefix}" CACHE PATH "WINEPREFIX the programs run in (the environment's wins)")
if(BRAKKEL_WINE_PREFIX)
  set(wine_env WINEPREFIX=${BRAKKEL_WINE_PREFIX})
endif()
# Quiet, and no offer to install Wine's .NET or HTML engines when the prefix is made.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_COMMAND} -E env ${wine_env} WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
                                  ${BRAKKEL_WINE})
