# What the Linux cross toolchains share: the target's libraries under
# /usr/<triple> (Debian's cross packages), and qemu-user with that library
# prefix to run the test programs (test discovery and ctest). Set before
# including: LASSOWAVE_CROSS_TRIPLE (e.g. aarch64-linux-gnu) and
# LASSOWAVE_CROSS_QEMU (e.g. qemu-aarch64).
set(CMAKE_FIND_ROOT_PATH /usr/${LASSOWAVE_CROSS_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${LASSOWAVE_CROSS_QEMU} -L /usr/${LASSOWAVE_CROSS_TRIPLE})
