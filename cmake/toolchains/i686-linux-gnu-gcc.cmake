# Cross build for 32-bit x86 Linux (Debian's i386) with Debian's cross GCC
# (g++-i686-linux-gnu); programs run under qemu-i386 (qemu-user).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER i686-linux-gnu-g++)
set(LASSOWAVE_CROSS_TRIPLE i686-linux-gnu)
set(LASSOWAVE_CROSS_QEMU qemu-i386)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross-common.cmake)
