# Cross build for 64-bit Windows with MinGW-w64 (Debian: g++-mingw-w64-x86-64-posix). The posix
# thread model gives std::thread and std::mutex. Programs are linked statically (libgcc,
# libstdc++, winpthread), so they need no DLL besides the system's own.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TORVEX_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TORVEX_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TORVEX_MINGW_PREFIX}-g++-posix)
set(CMAKE_ASM_COMPILER ${TORVEX_MINGW_PREFIX}-gcc-posix)
set(CMAKE_RC_COMPILER ${TORVEX_MINGW_PREFIX}-windres)
set(CMAKE_AR ${TORVEX_MINGW_PREFIX}-gcc-ar-posix CACHE FILEPATH "archiver")
set(CMAKE_RANLIB ${TORVEX_MINGW_PREFIX}-gcc-ranlib-posix CACHE FILEPATH "ranlib")

set(CMAKE_FIND_ROOT_PATH /usr/${TORVEX_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Windows 10 API level: the device-installation and storage calls the back end uses.
set(CMAKE_C_FLAGS_INIT "-D_WIN32_WINNT=0x0A00 -DWINVER=0x0A00 -DUNICODE -D_UNICODE")
set(CMAKE_CXX_FLAGS_INIT "-D_WIN32_WINNT=0x0A00 -DWINVER=0x0A00 -DUNICODE -D_UNICODE")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# The tests (ctest) run the programs built here under Wine, unless the caller chose another
# emulator. The build itself runs none of them: what it must run is built for the host.
if(NOT DEFINED CMAKE_CROSSCOMPILING_EMULATOR)
  find_program(TORVEX_WINE NAMES wine wine64)
  if(TORVEX_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${TORVEX_WINE})
  endif()
endif()
