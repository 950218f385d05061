# Cross build for 64-bit Arm Linux with clang, using the cross GCC's
# libraries and linker (g++-aarch64-linux-gnu); programs run under
# qemu-aarch64 (qemu-user).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET aarch64-linux-gnu)
set(CMAKE_CXX_COMPILER_TARGET aarch64-linux-gnu)
set(LASSOWAVE_CROSS_TRIPLE aarch64-linux-gnu)
set(LASSOWAVE_CROSS_QEMU qemu-aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross-common.cmake)
