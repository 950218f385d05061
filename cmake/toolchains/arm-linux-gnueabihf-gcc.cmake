# Cross build for 32-bit Arm Linux, hard-float (Debian's armhf), with
# Debian's cross GCC (g++-arm-linux-gnueabihf); programs run under qemu-arm
# (qemu-user).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR armv7l)
set(CMAKE_C_COMPILER arm-linux-gnueabihf-gcc)
set(CMAKE_CXX_COMPILER arm-linux-gnueabihf-g++)
set(LASSOWAVE_CROSS_TRIPLE arm-linux-gnueabihf)
set(LASSOWAVE_CROSS_QEMU qemu-arm)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross-common.cmake)
