# Cross-building the Windows x86-64 console executables on Debian with MinGW-w64
# (apt-get install g++-mingw-w64-x86-64-posix; the posix flavour gives std::thread).
# The programs are tested under Wine (apt-get install wine64 wine) when it is there.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QV_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QV_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QV_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${QV_MINGW_PREFIX}-windres)

# Headers and libraries of the target only: the build system's own (libfathom,
# GoogleTest's Linux libraries) are not for Windows.
set(CMAKE_FIND_ROOT_PATH /usr/${QV_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One executable that needs no DLL beyond Windows' own: the C++ runtime, libgcc
# and winpthread linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Built programs (the tests, the book tool at build time) run under Wine, in a
# prefix of their own and without a display (cmake/wine-run.sh).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
