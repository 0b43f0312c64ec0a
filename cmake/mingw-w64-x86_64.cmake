# Cross-building for 64-bit Windows with Debian's mingw-w64 toolchain
# (package g++-mingw-w64-x86-64). Uses the POSIX-threads variant of the
# compiler, which C++ threads and std::filesystem need.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TORVIX_MINGW_TRIPLE x86_64-w64-mingw32)
find_program(CMAKE_C_COMPILER NAMES ${TORVIX_MINGW_TRIPLE}-gcc-posix ${TORVIX_MINGW_TRIPLE}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${TORVIX_MINGW_TRIPLE}-g++-posix ${TORVIX_MINGW_TRIPLE}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${TORVIX_MINGW_TRIPLE}-windres)

# Appended, not set: a Qt prefix given as CMAKE_PREFIX_PATH or
# CMAKE_FIND_ROOT_PATH on the command line must stay searchable, or CMake in
# "find root only" mode never looks inside it.
list(APPEND CMAKE_FIND_ROOT_PATH /usr/${TORVIX_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Programs that run under wine when a build step needs to run one.
find_program(TORVIX_WINE NAMES wine64 wine)
if(TORVIX_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TORVIX_WINE})
endif()
