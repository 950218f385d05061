# Cross build for 64-bit Windows with Debian's MinGW-w64 GCC (posix threads,
# g++-mingw-w64-x86-64-posix); programs run under wine.
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

# The compiler's runtime DLLs (libstdc++, libgcc, winpthread) are found
# through WINEPATH, as a Windows user would have them on PATH.
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libstdc++-6.dll
  OUTPUT_VARIABLE _lw_libstdcxx OUTPUT_STRIP_TRAILING_WHITESPACE)
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libwinpthread-1.dll
  OUTPUT_VARIABLE _lw_winpthread OUTPUT_STRIP_TRAILING_WHITESPACE)
get_filename_component(_lw_libstdcxx_dir "${_lw_libstdcxx}" DIRECTORY)
get_filename_component(_lw_winpthread_dir "${_lw_winpthread}" REALPATH)
get_filename_component(_lw_winpthread_dir "${_lw_winpthread_dir}" DIRECTORY)
set(CMAKE_CROSSCOMPILING_EMULATOR sh ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh
  "${_lw_libstdcxx_dir}:${_lw_winpthread_dir}")
