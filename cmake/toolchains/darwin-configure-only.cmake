# For checking the macOS link options on Linux without a Mac: configure only
# (cmake -S . -B build-darwin -DCMAKE_TOOLCHAIN_FILE=<this file>), then read
# the generated link lines (build-darwin/**/link.txt). Nothing built this way
# can be linked or run: the compilers are the host's, taken on trust.
set(CMAKE_SYSTEM_NAME Darwin)
set(CMAKE_SYSTEM_PROCESSOR arm64)
set(CMAKE_OSX_ARCHITECTURES arm64)
set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_WORKS TRUE)
set(CMAKE_CXX_COMPILER_WORKS TRUE)
set(CMAKE_C_COMPILER_TARGET arm64-apple-macos11)
set(CMAKE_CXX_COMPILER_TARGET arm64-apple-macos11)
# Checks that would compile and link a test program: answered as a Mac would.
set(CMAKE_HAVE_LIBC_PTHREAD 1 CACHE INTERNAL "macOS has POSIX threads in libc")
