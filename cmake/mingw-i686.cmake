# Cross-compiles for Windows with the posix thread model of mingw-w64: 32-bit (i686), the
# program as it ships. A machine whose kernel cannot run 32-bit programs cannot run the
# 32-bit Wine either; there the test command builds the same code for x86_64 instead
# (environment variable ORFEDA_WINDOWS_ARCH=x86_64 when the build folder is configured).
if(NOT DEFINED ORFEDA_WINDOWS_ARCH)
  if(DEFINED ENV{ORFEDA_WINDOWS_ARCH})
    set(ORFEDA_WINDOWS_ARCH $ENV{ORFEDA_WINDOWS_ARCH})
  else()
    set(ORFEDA_WINDOWS_ARCH i686)
  endif()
endif()
set(ORFEDA_WINDOWS_ARCH ${ORFEDA_WINDOWS_ARCH} CACHE STRING "i686 (the product) or x86_64 (tests where 32-bit Wine cannot run)")
set(triple ${ORFEDA_WINDOWS_ARCH}-w64-mingw32)
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${ORFEDA_WINDOWS_ARCH})
set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Windows test binaries run under Wine; the test command sets WINEPREFIX and DISPLAY.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
