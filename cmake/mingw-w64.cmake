# Cross-build for 64-bit Windows from Debian with mingw-w64 (package g++-mingw-w64-x86-64).
# The posix thread variant of the compiler is the one whose libstdc++ has std::thread and
# std::mutex; the win32 variant compiles neither them nor GoogleTest. Programs are linked
# statically so that they do not look for libwinpthread-1.dll and libstdc++-6.dll at run time.
# ctest (and the test discovery after each link) runs the test programs under Wine.
#
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
#
# scripts/test-windows does the whole run. By hand: export WINEPREFIX and WINEDEBUG=-all, keep a
# server alive with `wineserver -p` and start Wine's services once with `wine cmd /c exit
# >/dev/null` before building; services started by the first test program would keep ctest's
# output pipes open until the test times out.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VORLANX_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VORLANX_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VORLANX_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VORLANX_MINGW_TRIPLE}-windres)

# Headers and libraries only from the mingw-w64 tree (and what the caller adds, such as a
# GoogleTest built with this file); programs that run during the build are the host's.
list(APPEND CMAKE_FIND_ROOT_PATH /usr/${VORLANX_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
# FindODBC names libodbc32.a, which CMake wraps in -Bstatic ... -Bdynamic; the trailing -Bdynamic
# would bring back the DLL forms of libstdc++ and winpthread behind the -static above.
set(CMAKE_LINK_SEARCH_END_STATIC ON)

find_program(VORLANX_WINE NAMES wine wine64)
if(VORLANX_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${VORLANX_WINE})
endif()
