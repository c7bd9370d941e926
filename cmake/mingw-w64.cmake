# Cross-compiles for 64-bit Windows with Debian's MinGW-w64 (posix threads) and runs the
# results under Wine. The libraries come from scripts/windows-deps: ZENDRIK_WINDOWS_DEPS names
# their folder, by default the set that script marked current.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ZENDRIK_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ZENDRIK_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZENDRIK_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${ZENDRIK_MINGW}-windres)

if(NOT ZENDRIK_WINDOWS_DEPS)
  if(DEFINED ENV{ZENDRIK_WINDOWS_DEPS})
    set(ZENDRIK_WINDOWS_DEPS "$ENV{ZENDRIK_WINDOWS_DEPS}")
  elseif(DEFINED ENV{XDG_CACHE_HOME} AND NOT "$ENV{XDG_CACHE_HOME}" STREQUAL "")
    set(ZENDRIK_WINDOWS_DEPS "$ENV{XDG_CACHE_HOME}/zendrik-windows-deps/current")
  else()
    set(ZENDRIK_WINDOWS_DEPS "$ENV{HOME}/.cache/zendrik-windows-deps/current")
  endif()
endif()
set(ZENDRIK_WINDOWS_DEPS "${ZENDRIK_WINDOWS_DEPS}" CACHE PATH
    "Libraries built for Windows by scripts/windows-deps")
# try_compile projects see the folder too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ZENDRIK_WINDOWS_DEPS)

set(CMAKE_FIND_ROOT_PATH /usr/${ZENDRIK_MINGW} ${ZENDRIK_WINDOWS_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Static libraries only: import libraries (*.dll.a) would pull in DLLs, zlib1.dll among them.
set(CMAKE_FIND_LIBRARY_SUFFIXES .a)
set(ZLIB_LIBRARY /usr/${ZENDRIK_MINGW}/lib/libz.a CACHE FILEPATH "zlib, static")
set(ZLIB_INCLUDE_DIR /usr/${ZENDRIK_MINGW}/include CACHE PATH "zlib's headers")

# Without -static a program needs libstdc++-6.dll and the winpthread DLL beside it, and
# under Wine it then exits with code 53 and no message.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Debian's wine64 keeps its loader off PATH.
find_program(ZENDRIK_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_DEFAULT_PATH)
find_program(ZENDRIK_WINE NAMES wine64 wine)
