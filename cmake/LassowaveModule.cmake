# lassowave_add_module(NAME <name> SOURCES <src>... [HELP <file.m>]
#                      [INDEX32] [ALSO_INDEX32])
#
# Builds one host function for every enabled host:
#   test host: build/testhost/<name>.mexth (build/testhost/index32/ for the
#              extra 32-bit-index variant)
#   Octave:    build/octave/<name>.mex, with its help file beside it
#   MATLAB:    through FindMatlab's matlab_add_mex
# INDEX32: the module is delivered at the 32-bit array-interface level only.
# ALSO_INDEX32: delivered at the large-array level and also at the 32-bit one.

set(LASSOWAVE_TESTHOST_DIR ${CMAKE_BINARY_DIR}/testhost)
set(LASSOWAVE_OCTAVE_DIR ${CMAKE_BINARY_DIR}/octave)
set(LASSOWAVE_MATLAB_DIR ${CMAKE_BINARY_DIR}/matlab)

# Flags every module gets, whatever the host: results follow the written
# evaluation order (no contraction into fused multiply-adds), and only the
# entry points are visible.
add_library(lassowave_module_flags INTERFACE)
target_compile_options(lassowave_module_flags INTERFACE
  -Wall -Wextra -Wpedantic -ffp-contract=off -fno-fast-math
  -fvisibility=hidden $<$<COMPILE_LANGUAGE:CXX>:-fvisibility-inlines-hidden>)
target_include_directories(lassowave_module_flags INTERFACE ${PROJECT_SOURCE_DIR}/host)
if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
  target_link_options(lassowave_module_flags INTERFACE
    -Wl,--version-script=${PROJECT_SOURCE_DIR}/host/mex_exports.map)
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
    lassowave_octave_mex_soversion(${LASSOWAVE_MKOCTFILE} LASSOWAVE_OCTAVE_MEX_SOVERSION)
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
endif()

function(_lassowave_testhost_module target name dir index32)
  add_library(${target} MODULE ${ARGN} ${PROJECT_SOURCE_DIR}/host/mex_api_version.c)
  target_link_libraries(${target} PRIVATE lassowave_module_flags lwtesthost)
  set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME ${name} SUFFIX ".mexth"
    LIBRARY_OUTPUT_DIRECTORY ${dir})
  if(NOT LASSOWAVE_SANITIZER_FLAGS)
    # Sanitizer runtimes resolve from the loading program, not the module.
    target_link_options(${target} PRIVATE -Wl,--no-undefined)
  endif()
  if(index32)
    target_compile_definitions(${target} PRIVATE MX_COMPAT_32)
  endif()
  if(LASSOWAVE_SANITIZER_FLAGS)
    target_compile_options(${target} PRIVATE ${LASSOWAVE_SANITIZER_FLAGS})
    target_link_options(${target} PRIVATE ${LASSOWAVE_SANITIZER_FLAGS})
  endif()
  add_dependencies(lassowave_testhost_modules ${target})
endfunction()

function(lassowave_add_module)
  cmake_parse_arguments(M "INDEX32;ALSO_INDEX32" "NAME;HELP" "SOURCES" ${ARGN})
  set(srcs "")
  foreach(s IN LISTS M_SOURCES)
    list(APPEND srcs ${CMAKE_CURRENT_SOURCE_DIR}/${s})
  endforeach()
  set_property(GLOBAL APPEND PROPERTY LASSOWAVE_MODULES ${M_NAME})
  # What the package and the in-host build script need to build the module
  # without CMake: its sources, its help file and its array-interface level
  # (large, index32, or large+index32). cmake/LassowavePackage.cmake writes
  # these out once every module is registered.
  if(M_INDEX32)
    set(level index32)
  elseif(M_ALSO_INDEX32)
    set(level large+index32)
  else()
    set(level large)
  endif()
  set(help_path "")
  if(M_HELP)
    set(help_path ${CMAKE_CURRENT_SOURCE_DIR}/${M_HELP})
  endif()
  set_property(GLOBAL PROPERTY LASSOWAVE_MODULE_${M_NAME}_SOURCES ${srcs})
  set_property(GLOBAL PROPERTY LASSOWAVE_MODULE_${M_NAME}_HELP "${help_path}")
  set_property(GLOBAL PROPERTY LASSOWAVE_MODULE_${M_NAME}_LEVEL ${level})

  if(LASSOWAVE_TESTHOST)
    _lassowave_testhost_module(testhost_${M_NAME} ${M_NAME} ${LASSOWAVE_TESTHOST_DIR}
      "${M_INDEX32}" ${srcs})
    if(M_ALSO_INDEX32)
      set_property(GLOBAL APPEND PROPERTY LASSOWAVE_ALSO_INDEX32_MODULES ${M_NAME})
      _lassowave_testhost_module(testhost32_${M_NAME} ${M_NAME} ${LASSOWAVE_TESTHOST_DIR}/index32
        ON ${srcs})
    endif()
  endif()

  if(LASSOWAVE_OCTAVE)
    # Octave resolves the mx/mex symbols from the running interpreter, so the
    # module links no Octave library (and must not use --no-undefined).
    add_library(octave_${M_NAME} MODULE ${srcs} ${PROJECT_SOURCE_DIR}/host/mex_api_version.c)
    target_link_libraries(octave_${M_NAME} PRIVATE lassowave_module_flags)
    target_include_directories(octave_${M_NAME} PRIVATE ${LASSOWAVE_OCTAVE_INCLUDES})
    if(NOT LASSOWAVE_OCTAVE_MEX_SOVERSION STREQUAL "")
      target_compile_definitions(octave_${M_NAME} PRIVATE
        LASSOWAVE_OCTAVE_MEX_SOVERSION=${LASSOWAVE_OCTAVE_MEX_SOVERSION})
    endif()
    target_link_options(octave_${M_NAME} PRIVATE -Wl,-Bsymbolic)
    if(LASSOWAVE_OCTAVE_ASAN)
      # For runs of octave-cli with the AddressSanitizer runtime preloaded.
      target_compile_options(octave_${M_NAME} PRIVATE -fsanitize=address -fno-omit-frame-pointer)
      target_link_options(octave_${M_NAME} PRIVATE -fsanitize=address)
    endif()
    set_target_properties(octave_${M_NAME} PROPERTIES PREFIX "" OUTPUT_NAME ${M_NAME}
      SUFFIX ".mex" LIBRARY_OUTPUT_DIRECTORY ${LASSOWAVE_OCTAVE_DIR})
    add_dependencies(lassowave_octave_modules octave_${M_NAME})
    if(M_HELP)
      # The help file beside the module, copied again whenever it changes
      # (a step of the module's own build would miss edits to the help alone).
      set(help_copy ${LASSOWAVE_OCTAVE_DIR}/${M_NAME}.m)
      add_custom_command(OUTPUT ${help_copy}
        COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_CURRENT_SOURCE_DIR}/${M_HELP} ${help_copy}
        DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${M_HELP} VERBATIM)
      add_custom_target(octave_${M_NAME}_help ALL DEPENDS ${help_copy})
      add_dependencies(lassowave_octave_modules octave_${M_NAME}_help)
    endif()
    install(TARGETS octave_${M_NAME} LIBRARY DESTINATION octave)
    if(M_HELP)
      install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/${M_HELP} DESTINATION octave
        RENAME ${M_NAME}.m)
    endif()
  endif()

  if(LASSOWAVE_MATLAB)
    # Untested here: written from FindMatlab's documented interface. The
    # large-array builds use the R2017b API; the 32-bit-index builds add
    # MX_COMPAT_32, which is what mex -compatibleArrayDims does.
    set(variants ${M_NAME})
    if(M_ALSO_INDEX32)
      list(APPEND variants ${M_NAME}_index32)
    endif()
    foreach(v IN LISTS variants)
      matlab_add_mex(NAME matlab_${v} MODULE SRC ${srcs} OUTPUT_NAME ${M_NAME} R2017b)
      target_link_libraries(matlab_${v} lassowave_module_flags)
      set(outdir ${LASSOWAVE_MATLAB_DIR})
      if(M_INDEX32 OR v STREQUAL "${M_NAME}_index32")
        target_compile_definitions(matlab_${v} PRIVATE MX_COMPAT_32)
        if(v STREQUAL "${M_NAME}_index32")
          set(outdir ${LASSOWAVE_MATLAB_DIR}/index32)
        endif()
      endif()
      set_target_properties(matlab_${v} PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${outdir}
        RUNTIME_OUTPUT_DIRECTORY ${outdir})
      if(M_HELP)
        add_custom_command(TARGET matlab_${v} POST_BUILD
          COMMAND ${CMAKE_COMMAND} -E copy_if_different
            ${CMAKE_CURRENT_SOURCE_DIR}/${M_HELP} ${outdir}/${M_NAME}.m)
      endif()
    endforeach()
  endif()
endfunction()

# lassowave_add_isa_test_modules(<name>...)
#
# Test host only: extra builds of modules already registered, one per
# instruction-set variant of the wavelet kernels, into
# build/testhost/isa/<variant>/<name>.mexth (variant: baseline, avx2,
# avx512f). A shipped module carries every variant and the loader runs the
# widest one the CPU has; each of these builds carries the named variant
# (and the baseline) only, so that the suites can run and compare every
# variant on one machine (LASSOWAVE_WAVELET_ISA_*, wavelet/kernel_targets.h).
# x86-64 Linux only; sets LASSOWAVE_ISA_TEST_MODULES in the caller's scope
# when it builds them.
function(lassowave_add_isa_test_modules)
  set(LASSOWAVE_ISA_TEST_MODULES OFF PARENT_SCOPE)
  if(NOT LASSOWAVE_TESTHOST OR NOT CMAKE_SYSTEM_NAME STREQUAL "Linux"
     OR NOT CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$")
    return()
  endif()
  foreach(name IN LISTS ARGN)
    get_property(srcs GLOBAL PROPERTY LASSOWAVE_MODULE_${name}_SOURCES)
    get_property(level GLOBAL PROPERTY LASSOWAVE_MODULE_${name}_LEVEL)
    set(index32 OFF)
    if(level STREQUAL "index32")
      set(index32 ON)
    endif()
    foreach(isa IN ITEMS baseline avx2 avx512f)
      string(TOUPPER ${isa} ISA)
      _lassowave_testhost_module(testhost_isa_${isa}_${name} ${name}
        ${LASSOWAVE_TESTHOST_DIR}/isa/${isa} "${index32}" ${srcs})
      target_compile_definitions(testhost_isa_${isa}_${name} PRIVATE LASSOWAVE_WAVELET_ISA_${ISA})
    endforeach()
  endforeach()
  set(LASSOWAVE_ISA_TEST_MODULES ON PARENT_SCOPE)
endfunction()
