# Cross-compiles for 64-bit Windows with Debian's mingw-w64 (POSIX threads
# variant, for std::thread); the programs run under wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
# GCC 12 takes some optimised std::string concatenations for overlapping
# copies (its bug 105329): -Wrestrict would only report those.
set(CMAKE_CXX_FLAGS_INIT "-Wno-restrict")
# Static runtime libraries, so that the programs run without DLLs beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
