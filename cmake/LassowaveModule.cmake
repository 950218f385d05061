# The lassowave modules, built for every enabled host from one table
# (cmake/modules.txt) with one set of compile flags (cmake/module_flags.txt):
#
#   test host: build/testhost/<name>.mexth (build/testhost/index32/ for the
#              extra 32-bit-index variant)
#   Octave:    build/octave/<name>.mex, with its help file beside it
#   MATLAB:    build/matlab/<name>.<mexext>, through FindMatlab's matlab_add_mex
#
# lassowave_add_modules() registers every module of the table; the global
# property LASSOWAVE_MODULES lists their names, and for each name
# LASSOWAVE_MODULE_<name>_SOURCES (absolute paths), _HELP and _LEVEL hold
# its row.

include(${CMAKE_CURRENT_LIST_DIR}/LassowaveTables.cmake)
set(LASSOWAVE_TESTHOST_DIR ${CMAKE_BINARY_DIR}/testhost)
set(LASSOWAVE_OCTAVE_DIR ${CMAKE_BINARY_DIR}/octave)
set(LASSOWAVE_MATLAB_DIR ${CMAKE_BINARY_DIR}/matlab)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
  ${LASSOWAVE_MODULE_TABLE} ${LASSOWAVE_MODULE_FLAGS})

# The compiler family of this build, and the flags of each set as compile
# options (those of one language only behind generator expressions).
if(MSVC)
  set(LASSOWAVE_COMPILER msvc)
else()
  set(LASSOWAVE_COMPILER gnu)
endif()
foreach(set IN ITEMS module hidden i386)
  set(LASSOWAVE_${set}_OPTIONS "")
  foreach(language IN ITEMS c cxx)
    string(TOUPPER ${language} genex)  # C or CXX
    lassowave_read_flags(flags ${set} ${LASSOWAVE_COMPILER} ${language})
    foreach(f IN LISTS flags)
      list(APPEND LASSOWAVE_${set}_OPTIONS "$<$<COMPILE_LANGUAGE:${genex}>:${f}>")
    endforeach()
  endforeach()
endforeach()

# The x86 instruction set the build targets: x86-64, i386 (32-bit x86) or
# none. CMAKE_SYSTEM_PROCESSOR names the machine (x86_64 also for a 32-bit
# system on a 64-bit kernel), the pointer size the build's own target.
set(LASSOWAVE_X86 "")
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64|i[3-6]86|x86)$")
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(LASSOWAVE_X86 x86-64)
  else()
    set(LASSOWAVE_X86 i386)
  endif()
endif()
# 32-bit x86: binary64 arithmetic (SSE2) for everything built here, the
# test host, the suites and the benchmarks as well as the modules.
if(LASSOWAVE_X86 STREQUAL "i386")
  add_compile_options(${LASSOWAVE_i386_OPTIONS})
  if(NOT CMAKE_CROSSCOMPILING AND EXISTS /proc/cpuinfo)
    file(STRINGS /proc/cpuinfo _lw_cpu_flags REGEX "^flags")
    if(_lw_cpu_flags AND NOT _lw_cpu_flags MATCHES "[ \t]sse2([ \t]|$)")
      message(FATAL_ERROR "lassowave: this processor has no SSE2; on 32-bit x86 the modules "
        "compute with SSE2 (binary64 arithmetic, the same bits as on every other platform) and "
        "need a processor that has it (a Pentium 4, an Athlon 64 or newer)")
    endif()
  endif()
endif()

# Every module of every host: the module flags and the host binding.
add_library(lassowave_module_flags INTERFACE)
target_compile_options(lassowave_module_flags INTERFACE ${LASSOWAVE_module_OPTIONS})
target_include_directories(lassowave_module_flags INTERFACE ${PROJECT_SOURCE_DIR}/host)
if(UNIX)
  target_link_libraries(lassowave_module_flags INTERFACE m)
endif()
# The test host and Octave modules: only the entry points visible, through
# the project's export map. (MATLAB's modules use MATLAB's own map.)
add_library(lassowave_export_flags INTERFACE)
target_compile_options(lassowave_export_flags INTERFACE ${LASSOWAVE_hidden_OPTIONS})
if(LASSOWAVE_PLAIN_KERNELS)
  target_compile_definitions(lassowave_module_flags INTERFACE LASSOWAVE_PLAIN_KERNELS)
endif()
# GNU ld reads the version script (version node MEX). Apple's ld64 has no
# version scripts: it takes an exported-symbols list instead
# (host/mex_exports.list, the same names with Mach-O's leading underscore;
# the entry points a build may lack are patterns, which may match nothing).
# A Windows DLL exports only what is marked dllexport.
if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
  target_link_options(lassowave_export_flags INTERFACE
    -Wl,--version-script=${PROJECT_SOURCE_DIR}/host/mex_exports.map)
elseif(APPLE)
  target_link_options(lassowave_export_flags INTERFACE
    -Wl,-exported_symbols_list,${PROJECT_SOURCE_DIR}/host/mex_exports.list)
endif()

if(LASSOWAVE_SANITIZE OR LASSOWAVE_FUZZ)
  set(LASSOWAVE_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all
      -fno-omit-frame-pointer)
endif()
if(LASSOWAVE_FUZZ)
  # Coverage feedback for libFuzzer from the modules and the test host.
  list(APPEND LASSOWAVE_SANITIZER_FLAGS -fsanitize=fuzzer-no-link)
endif()

if(LASSOWAVE_OCTAVE)
  find_program(LASSOWAVE_MKOCTFILE NAMES mkoctfile)
  if(LASSOWAVE_MKOCTFILE)
    execute_process(COMMAND ${LASSOWAVE_MKOCTFILE} -p INCFLAGS
      OUTPUT_VARIABLE _octave_incflags OUTPUT_STRIP_TRAILING_WHITESPACE)
    separate_arguments(_octave_incflags UNIX_COMMAND "${_octave_incflags}")
    set(LASSOWAVE_OCTAVE_INCLUDES "")
    foreach(flag IN LISTS _octave_incflags)
      if(flag MATCHES "^-I(.+)$")
        list(APPEND LASSOWAVE_OCTAVE_INCLUDES ${CMAKE_MATCH_1})
      endif()
    endforeach()
    message(STATUS "lassowave: Octave headers in ${LASSOWAVE_OCTAVE_INCLUDES}")
    include(${CMAKE_CURRENT_LIST_DIR}/OctaveMexSoversion.cmake)
    if(WIN32 OR APPLE)
      # The probe reads an ELF symbol table; elsewhere the modules define no
      # interface version (as mkoctfile of Octave 10 and older).
      set(LASSOWAVE_OCTAVE_MEX_SOVERSION "")
      message(STATUS "lassowave: Octave's MEX interface version not probed (not an ELF platform)")
    else()
      lassowave_octave_mex_soversion(${LASSOWAVE_MKOCTFILE} LASSOWAVE_OCTAVE_MEX_SOVERSION)
    endif()
    if(NOT LASSOWAVE_OCTAVE_MEX_SOVERSION STREQUAL "")
      message(STATUS "lassowave: Octave's MEX interface version ${LASSOWAVE_OCTAVE_MEX_SOVERSION}")
    endif()
  else()
    message(WARNING "lassowave: mkoctfile not found; the Octave modules are not built")
    set(LASSOWAVE_OCTAVE OFF)
  endif()
endif()

if(LASSOWAVE_MATLAB)
  find_package(Matlab REQUIRED COMPONENTS MX_LIBRARY)
  include(${CMAKE_CURRENT_LIST_DIR}/LassowaveMatlab.cmake)
endif()

function(_lassowave_testhost_module target name dir index32)
  add_library(${target} MODULE ${ARGN} ${PROJECT_SOURCE_DIR}/host/mex_api_version.c)
  target_link_libraries(${target} PRIVATE lassowave_module_flags lassowave_export_flags lwtesthost)
  set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME ${name} SUFFIX ".mexth"
    LIBRARY_OUTPUT_DIRECTORY ${dir})
  if(NOT LASSOWAVE_SANITIZER_FLAGS AND LASSOWAVE_COMPILER STREQUAL "gnu" AND NOT APPLE)
    # Every host function resolved at link time. (Sanitizer runtimes resolve
    # from the loading program, not the module.)
    target_link_options(${target} PRIVATE -Wl,--no-undefined)
  endif()
  if(index32)
    target_compile_definitions(${target} PRIVATE MX_COMPAT_32)
  endif()
  # The test host's work count (lw::report_work), for its work-bound tests.
  target_compile_definitions(${target} PRIVATE LASSOWAVE_TESTHOST_WORK)
  if(LASSOWAVE_SANITIZER_FLAGS)
    target_compile_options(${target} PRIVATE ${LASSOWAVE_SANITIZER_FLAGS})
    target_link_options(${target} PRIVATE ${LASSOWAVE_SANITIZER_FLAGS})
  endif()
  add_dependencies(lassowave_testhost_modules ${target})
endfunction()

# How an Octave module finds the mx/mex functions, per platform. ELF and
# Mach-O resolve them from the running interpreter when Octave loads the
# module: it links no Octave library (ELF: -Bsymbolic binds the module's own
# symbols to itself; Mach-O: undefined symbols are looked up at load time).
# A Windows DLL must name the DLLs its imports come from at link time: it
# links Octave's liboctinterp and liboctave, as mkoctfile does there.
if(LASSOWAVE_OCTAVE)
  if(WIN32)
    foreach(var IN ITEMS OCTLIBDIR LIBOCTINTERP LIBOCTAVE)
      execute_process(COMMAND ${LASSOWAVE_MKOCTFILE} -p ${var}
        OUTPUT_VARIABLE _octave_${var} OUTPUT_STRIP_TRAILING_WHITESPACE)
    endforeach()
    set(LASSOWAVE_OCTAVE_LINK_OPTIONS "-L${_octave_OCTLIBDIR}")
    separate_arguments(LASSOWAVE_OCTAVE_LINK_LIBRARIES UNIX_COMMAND
      "${_octave_LIBOCTINTERP} ${_octave_LIBOCTAVE}")
  elseif(APPLE)
    set(LASSOWAVE_OCTAVE_LINK_OPTIONS -Wl,-undefined,dynamic_lookup)
  else()
    set(LASSOWAVE_OCTAVE_LINK_OPTIONS -Wl,-Bsymbolic)
  endif()
endif()

function(_lassowave_octave_module name help srcs)
  add_library(octave_${name} MODULE ${srcs} ${PROJECT_SOURCE_DIR}/host/mex_api_version.c)
  target_link_libraries(octave_${name} PRIVATE lassowave_module_flags lassowave_export_flags)
  target_include_directories(octave_${name} PRIVATE ${LASSOWAVE_OCTAVE_INCLUDES})
  if(NOT LASSOWAVE_OCTAVE_MEX_SOVERSION STREQUAL "")
    target_compile_definitions(octave_${name} PRIVATE
      LASSOWAVE_OCTAVE_MEX_SOVERSION=${LASSOWAVE_OCTAVE_MEX_SOVERSION})
  endif()
  target_link_options(octave_${name} PRIVATE ${LASSOWAVE_OCTAVE_LINK_OPTIONS})
  target_link_libraries(octave_${name} PRIVATE ${LASSOWAVE_OCTAVE_LINK_LIBRARIES})
  if(LASSOWAVE_OCTAVE_ASAN)
    # For runs of octave-cli with the AddressSanitizer runtime preloaded.
    target_compile_options(octave_${name} PRIVATE -fsanitize=address -fno-omit-frame-pointer)
    target_link_options(octave_${name} PRIVATE -fsanitize=address)
  endif()
  set_target_properties(octave_${name} PROPERTIES PREFIX "" OUTPUT_NAME ${name}
    SUFFIX ".mex" LIBRARY_OUTPUT_DIRECTORY ${LASSOWAVE_OCTAVE_DIR})
  add_dependencies(lassowave_octave_modules octave_${name})
  install(TARGETS octave_${name} LIBRARY DESTINATION octave)
  if(help)
    # The help file beside the module, copied again whenever it changes
    # (a step of the module's own build would miss edits to the help alone).
    set(help_copy ${LASSOWAVE_OCTAVE_DIR}/${name}.m)
    add_custom_command(OUTPUT ${help_copy}
      COMMAND ${CMAKE_COMMAND} -E copy ${help} ${help_copy}
      DEPENDS ${help} VERBATIM)
    add_custom_target(octave_${name}_help ALL DEPENDS ${help_copy})
    add_dependencies(lassowave_octave_modules octave_${name}_help)
    install(FILES ${help} DESTINATION octave RENAME ${name}.m)
  endif()
endfunction()

# lassowave_add_module(<name> <level> <help file or -> <source>...)
# One row of the table (paths relative to the source tree).
function(lassowave_add_module name level help)
  if(NOT level MATCHES "^(large|index32|large\\+index32)$")
    message(FATAL_ERROR "lassowave: module ${name}: unknown level ${level} in ${LASSOWAVE_MODULE_TABLE}")
  endif()
  if(NOT ARGN)
    message(FATAL_ERROR "lassowave: module ${name} has no sources in ${LASSOWAVE_MODULE_TABLE}")
  endif()
  set(srcs "")
  foreach(s IN LISTS ARGN)
    list(APPEND srcs ${PROJECT_SOURCE_DIR}/${s})
  endforeach()
  if(help STREQUAL "-")
    set(help "")
  else()
    set(help ${PROJECT_SOURCE_DIR}/${help})
  endif()
  set_property(GLOBAL APPEND PROPERTY LASSOWAVE_MODULES ${name})
  set_property(GLOBAL PROPERTY LASSOWAVE_MODULE_${name}_SOURCES ${srcs})
  set_property(GLOBAL PROPERTY LASSOWAVE_MODULE_${name}_HELP "${help}")
  set_property(GLOBAL PROPERTY LASSOWAVE_MODULE_${name}_LEVEL ${level})

  if(LASSOWAVE_TESTHOST)
    set(index32 OFF)
    if(level STREQUAL "index32")
      set(index32 ON)
    endif()
    _lassowave_testhost_module(testhost_${name} ${name} ${LASSOWAVE_TESTHOST_DIR}
      ${index32} ${srcs})
    if(level STREQUAL "large+index32")
      set_property(GLOBAL APPEND PROPERTY LASSOWAVE_ALSO_INDEX32_MODULES ${name})
      _lassowave_testhost_module(testhost32_${name} ${name} ${LASSOWAVE_TESTHOST_DIR}/index32
        ON ${srcs})
    endif()
  endif()
  if(LASSOWAVE_OCTAVE)
    _lassowave_octave_module(${name} "${help}" "${srcs}")
  endif()
  if(LASSOWAVE_MATLAB)
    lassowave_matlab_module(${name} ${level} "${help}" "${srcs}")
  endif()
endfunction()

# Every module of cmake/modules.txt, in table order.
function(lassowave_add_modules)
  _lassowave_read_rows(${LASSOWAVE_MODULE_TABLE} row)
  math(EXPR last "${row_COUNT} - 1")
  foreach(i RANGE ${last})
    lassowave_add_module(${row_${i}})
  endforeach()
endfunction()

# lassowave_add_isa_test_modules(<name>...)
#
# Test host only: extra builds of modules already registered, one per path
# of the wavelet kernels, into build/testhost/isa/<variant>/<name>.mexth.
# "plain" is the portable path (LASSOWAVE_PLAIN_KERNELS); on x86-64 Linux
# with GCC or Clang, "baseline", "avx2" and "avx512f" carry the fast path's named
# version (and the baseline) only: a shipped module carries every version
# and the loader runs the widest one the CPU has, so these builds let the
# suites run and compare every version on one machine (wavelet/lanes.h).
# Nothing when the modules themselves are built plain. Sets
# LASSOWAVE_ISA_TEST_VARIANTS in the caller's scope to the variants built.
function(lassowave_add_isa_test_modules)
  set(variants "")
  if(LASSOWAVE_TESTHOST AND NOT LASSOWAVE_PLAIN_KERNELS)
    list(APPEND variants plain)
    if(CMAKE_SYSTEM_NAME STREQUAL "Linux" AND CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang"
       AND LASSOWAVE_X86 STREQUAL "x86-64")
      list(APPEND variants baseline avx2 avx512f)
    endif()
  endif()
  set(LASSOWAVE_ISA_TEST_VARIANTS ${variants} PARENT_SCOPE)
  foreach(name IN LISTS ARGN)
    get_property(srcs GLOBAL PROPERTY LASSOWAVE_MODULE_${name}_SOURCES)
    get_property(level GLOBAL PROPERTY LASSOWAVE_MODULE_${name}_LEVEL)
    set(index32 OFF)
    if(level STREQUAL "index32")
      set(index32 ON)
    endif()
    foreach(isa IN LISTS variants)
      _lassowave_testhost_module(testhost_isa_${isa}_${name} ${name}
        ${LASSOWAVE_TESTHOST_DIR}/isa/${isa} "${index32}" ${srcs})
      if(isa STREQUAL "plain")
        target_compile_definitions(testhost_isa_${isa}_${name} PRIVATE LASSOWAVE_PLAIN_KERNELS)
      else()
        string(TOUPPER ${isa} ISA)
        target_compile_definitions(testhost_isa_${isa}_${name} PRIVATE
          LASSOWAVE_WAVELET_ISA_${ISA})
      endif()
    endforeach()
  endforeach()
endfunction()

# lassowave_add_host32_test_modules()
#
# Test host only: every module of the large-array level built once more for
# the large-array level of a 32-bit host (LASSOWAVE_TESTHOST_HOST32: mwSize
# and mwIndex of 32 bits, unsigned), into build/testhost/host32/<name>.mexth,
# so that the suites check on any machine that every family reads and
# writes sizes and sparse indices as a 32-bit host hands them over. (The
# index32 modules are built at the 32-bit level anyway.)
function(lassowave_add_host32_test_modules)
  if(NOT LASSOWAVE_TESTHOST)
    return()
  endif()
  get_property(names GLOBAL PROPERTY LASSOWAVE_MODULES)
  foreach(name IN LISTS names)
    get_property(level GLOBAL PROPERTY LASSOWAVE_MODULE_${name}_LEVEL)
    if(level STREQUAL "index32")
      continue()
    endif()
    get_property(srcs GLOBAL PROPERTY LASSOWAVE_MODULE_${name}_SOURCES)
    _lassowave_testhost_module(testhost_host32_${name} ${name} ${LASSOWAVE_TESTHOST_DIR}/host32
      OFF ${srcs})
    target_compile_definitions(testhost_host32_${name} PRIVATE LASSOWAVE_TESTHOST_HOST32)
  endforeach()
endfunction()
