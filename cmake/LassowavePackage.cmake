# The Octave package, built from the module table (cmake/modules.txt) and
# the module flags (cmake/module_flags.txt); include this after
# lassowave_add_modules():
#
#   build/lassowave-<version>.tar.gz
#                                  the Octave package (target octave_package,
#                                  part of the default build): DESCRIPTION,
#                                  COPYING, INDEX, NEWS, inst/ with the help
#                                  files, src/ with the sources and a Makefile
#                                  that builds every module with
#                                  $(MKOCTFILE) --mex and puts each .mex into
#                                  inst/, beside its help file; inst/ also
#                                  holds the functions of toolbox/.
#
# Tests (with Octave): package.*, build_script.*, examples.*.

set(LASSOWAVE_VERSION ${PROJECT_VERSION})
set(LASSOWAVE_PACKAGE_NAME lassowave-${LASSOWAVE_VERSION})
set(LASSOWAVE_PACKAGE_DIR ${CMAKE_BINARY_DIR}/package)
set(LASSOWAVE_PACKAGE_TARBALL ${CMAKE_BINARY_DIR}/${LASSOWAVE_PACKAGE_NAME}.tar.gz)

# Writes content to file only when it changed, so that a re-configure does
# not make everything built from it out of date.
function(_lassowave_write_if_changed file content)
  set(old "")
  if(EXISTS ${file})
    file(READ ${file} old)
  endif()
  if(NOT old STREQUAL content)
    file(WRITE ${file} "${content}")
  endif()
endfunction()

# Titles of the INDEX categories, by subsystem folder; a folder without an
# entry here is listed under its own name.
set(_lassowave_category_penalty "Penalty-parameter updates")
set(_lassowave_category_fusedlasso "Fused-lasso support kernels")
set(_lassowave_category_triangular "Sparse triangular substitution")
set(_lassowave_category_wavelet "Periodic wavelet transforms")
set(_lassowave_category_toolbox "Solvers, wavelet filters and denoising")

get_property(_lw_modules GLOBAL PROPERTY LASSOWAVE_MODULES)

# The release date comes from the CHANGELOG entry of this version, so that
# the package, the CHANGELOG and the project version cannot drift apart
# silently.
file(READ ${PROJECT_SOURCE_DIR}/CHANGELOG.md _lw_changelog)
string(REGEX MATCH "\n## ${LASSOWAVE_VERSION} \\(([0-9]+-[0-9]+-[0-9]+)\\)" _lw_match "${_lw_changelog}")
if(NOT _lw_match)
  message(FATAL_ERROR "lassowave: CHANGELOG.md has no entry \"## ${LASSOWAVE_VERSION} (YYYY-MM-DD)\" "
    "for the project version ${LASSOWAVE_VERSION}")
endif()
set(LASSOWAVE_RELEASE_DATE ${CMAKE_MATCH_1})

set(_lw_index "lassowave >> Lasso, fused-lasso and wavelet kernels\n")
set(_lw_categories "")
set(_lw_make_modules "")
set(_lw_make_rules "")
set(_lw_copies "")        # pairs: source path;package path
set(_lw_depends ${PROJECT_SOURCE_DIR}/COPYING ${PROJECT_SOURCE_DIR}/CHANGELOG.md)
set(_lw_source_dirs host)
foreach(name IN LISTS _lw_modules)
  get_property(srcs GLOBAL PROPERTY LASSOWAVE_MODULE_${name}_SOURCES)
  get_property(help GLOBAL PROPERTY LASSOWAVE_MODULE_${name}_HELP)
  get_property(level GLOBAL PROPERTY LASSOWAVE_MODULE_${name}_LEVEL)
  set(rel_srcs "")
  set(objs "")
  foreach(s IN LISTS srcs)
    file(RELATIVE_PATH r ${PROJECT_SOURCE_DIR} ${s})
    list(APPEND rel_srcs ${r})
    list(APPEND objs "$(OBJDIR)/${r}.o")
    list(APPEND _lw_copies ${s} src/${r})
    list(APPEND _lw_depends ${s})
    get_filename_component(d ${r} DIRECTORY)
    list(APPEND _lw_source_dirs ${d})
  endforeach()
  set(rel_help -)
  if(help)
    file(RELATIVE_PATH rel_help ${PROJECT_SOURCE_DIR} ${help})
    list(APPEND _lw_copies ${help} inst/${name}.m)
    list(APPEND _lw_depends ${help})
  endif()

  # INDEX: one category per subsystem folder, in registration order.
  list(GET rel_srcs 0 first)
  string(REGEX REPLACE "/.*" "" category ${first})
  if(NOT category IN_LIST _lw_categories)
    list(APPEND _lw_categories ${category})
    set(_lw_index_${category} "")
  endif()
  string(APPEND _lw_index_${category} " ${name}")

  list(JOIN objs " " objs_text)
  string(APPEND _lw_make_modules " ${name}")
  string(APPEND _lw_make_rules
    "$(INSTDIR)/${name}.mex: ${objs_text} $(OBJDIR)/host/mex_api_version.c.o\n"
    "\t$(MKOCTFILE) --mex $(LW_LDFLAGS) -o $@ $^ -lm\n\n")
endforeach()
# The functions over the modules (toolbox/) go into inst/ as they are; the
# INDEX lists the function files of its top folder.
set(_lw_index_toolbox "")
foreach(rel IN LISTS LASSOWAVE_TOOLBOX_FILES)
  list(APPEND _lw_copies ${PROJECT_SOURCE_DIR}/toolbox/${rel} inst/${rel})
  list(APPEND _lw_depends ${PROJECT_SOURCE_DIR}/toolbox/${rel})
  if(rel MATCHES "^[^/]+\\.m$")
    get_filename_component(name ${rel} NAME_WE)
    string(APPEND _lw_index_toolbox " ${name}")
  endif()
endforeach()
if(_lw_index_toolbox)
  list(APPEND _lw_categories toolbox)
endif()
foreach(category IN LISTS _lw_categories)
  if(DEFINED _lassowave_category_${category})
    string(APPEND _lw_index "${_lassowave_category_${category}}\n")
  else()
    string(APPEND _lw_index "${category}\n")
  endif()
  string(APPEND _lw_index "${_lw_index_${category}}\n")
endforeach()

# Headers and the host binding: every header of a folder that holds module
# sources goes along, since sources include their neighbours.
list(REMOVE_DUPLICATES _lw_source_dirs)
foreach(d IN LISTS _lw_source_dirs)
  file(GLOB headers CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${d}/*.h ${PROJECT_SOURCE_DIR}/${d}/*.hpp)
  foreach(h IN LISTS headers)
    file(RELATIVE_PATH r ${PROJECT_SOURCE_DIR} ${h})
    list(APPEND _lw_copies ${h} src/${r})
    list(APPEND _lw_depends ${h})
  endforeach()
endforeach()
foreach(f IN ITEMS host/mex_api_version.c host/mex_exports.map host/mex_exports.list)
  list(APPEND _lw_copies ${PROJECT_SOURCE_DIR}/${f} src/${f})
  list(APPEND _lw_depends ${PROJECT_SOURCE_DIR}/${f})
endforeach()
list(APPEND _lw_copies ${PROJECT_SOURCE_DIR}/COPYING COPYING
                       ${PROJECT_SOURCE_DIR}/CHANGELOG.md NEWS
                       ${PROJECT_SOURCE_DIR}/cmake/octave_package/post_install.m post_install.m)
list(APPEND _lw_depends ${PROJECT_SOURCE_DIR}/cmake/octave_package/post_install.m)

# The module flags for mkoctfile (GCC or Clang, also MinGW-w64 on Windows).
foreach(set IN ITEMS module hidden i386)
  foreach(language IN ITEMS c cxx)
    lassowave_read_flags(flags ${set} gnu ${language})
    list(JOIN flags " " _lw_${set}_${language})
  endforeach()
endforeach()

set(_lw_generated ${LASSOWAVE_PACKAGE_DIR}/generated)
_lassowave_write_if_changed(${_lw_generated}/INDEX "${_lw_index}")
_lassowave_write_if_changed(${_lw_generated}/DESCRIPTION
"Name: lassowave
Version: ${LASSOWAVE_VERSION}
Date: ${LASSOWAVE_RELEASE_DATE}
Author: The lassowave developers
Maintainer: The lassowave developers
Title: Lasso, fused-lasso and wavelet kernels
Description: Small exact MEX functions: adaptive penalty updates for ADMM
 lasso and fused-lasso solvers, fused-lasso scaling and Jacobian structure,
 exact 1-D total-variation denoising, sparse triangular substitution, and
 periodic decimated and redundant wavelet transforms for any scaling filter,
 1-D and 2-D; and functions over them: lasso and fused-lasso solvers with
 regularization paths, wavelet filters by name, wavelet denoising.
Depends: octave (>= 7.1.0)
License: GPL-3.0-or-later
")
_lassowave_write_if_changed(${_lw_generated}/Makefile
"# Builds every lassowave module for Octave. Written by CMake from the module
# table and flags (cmake/modules.txt, cmake/module_flags.txt); pkg install
# runs it with MKOCTFILE set.
# Each module goes to $(INSTDIR) (the package's inst/ folder), so that it is
# installed beside its help file: Octave reads a MEX function's help only
# from a same-named .m file in the same folder.

MKOCTFILE ?= mkoctfile
INSTDIR ?= ../inst
OBJDIR := obj

# The module flags (results follow the written evaluation order: no
# contraction into fused multiply-adds, no fast-math), and only the entry
# points visible.
LW_CXXFLAGS := $(shell $(MKOCTFILE) -p CXXFLAGS) ${_lw_module_cxx} ${_lw_hidden_cxx}
LW_CFLAGS := $(shell $(MKOCTFILE) -p CFLAGS) ${_lw_module_c} ${_lw_hidden_c}
# 32-bit x86 (an Octave built for i386 to i686): SSE2 arithmetic, binary64
# as everywhere else.
ifneq ($(filter i386-% i486-% i586-% i686-%,$(shell $(MKOCTFILE) -p CANONICAL_HOST_TYPE)),)
LW_CXXFLAGS += ${_lw_i386_cxx}
LW_CFLAGS += ${_lw_i386_c}
endif
# Link options per platform. Windows: none (mkoctfile links Octave's
# libraries, which a DLL's imports need). macOS: the mx/mex functions are
# looked up when Octave loads the module; Apple's linker takes an
# exported-symbols list. Other ELF systems: the module's own symbols bound
# to itself; Linux also applies the version script.
ifeq ($(OS),Windows_NT)
LW_LDFLAGS :=
else ifeq ($(shell uname -s),Darwin)
LW_LDFLAGS := -Wl,-undefined,dynamic_lookup -Wl,-exported_symbols_list,host/mex_exports.list
else
LW_LDFLAGS := -Wl,-Bsymbolic
ifeq ($(shell uname -s),Linux)
LW_LDFLAGS += -Wl,--version-script=host/mex_exports.map
endif
endif
HEADERS := $(wildcard */*.h */*.hpp)

MODULES :=${_lw_make_modules}

all: $(MODULES:%=$(INSTDIR)/%.mex)

$(OBJDIR)/%.cpp.o: %.cpp $(HEADERS)
\t@mkdir -p $(dir $@)
\tCXXFLAGS='$(LW_CXXFLAGS)' $(MKOCTFILE) --mex -c -Ihost $< -o $@

$(OBJDIR)/%.c.o: %.c
\t@mkdir -p $(dir $@)
\tCFLAGS='$(LW_CFLAGS)' $(MKOCTFILE) --mex -c -Ihost $< -o $@

${_lw_make_rules}clean:
\trm -rf $(OBJDIR) $(MODULES:%=$(INSTDIR)/%.mex)

.PHONY: all clean
")
list(APPEND _lw_depends ${LASSOWAVE_MODULE_TABLE} ${LASSOWAVE_MODULE_FLAGS})
list(APPEND _lw_copies ${_lw_generated}/INDEX INDEX ${_lw_generated}/DESCRIPTION DESCRIPTION
                       ${_lw_generated}/Makefile src/Makefile)
list(APPEND _lw_depends ${_lw_generated}/INDEX ${_lw_generated}/DESCRIPTION
                        ${_lw_generated}/Makefile)

# The tarball is assembled by a script at build time from the list above.
set(_lw_list_text "")
list(LENGTH _lw_copies n)
math(EXPR last "${n} - 1")
foreach(i RANGE 0 ${last} 2)
  math(EXPR j "${i} + 1")
  list(GET _lw_copies ${i} from)
  list(GET _lw_copies ${j} to)
  string(APPEND _lw_list_text "${from}\n${to}\n")
endforeach()
_lassowave_write_if_changed(${LASSOWAVE_PACKAGE_DIR}/files.txt "${_lw_list_text}")
add_custom_command(OUTPUT ${LASSOWAVE_PACKAGE_TARBALL}
  COMMAND ${CMAKE_COMMAND} -DLIST=${LASSOWAVE_PACKAGE_DIR}/files.txt
    -DSTAGE=${LASSOWAVE_PACKAGE_DIR}/stage -DNAME=${LASSOWAVE_PACKAGE_NAME}
    -DTARBALL=${LASSOWAVE_PACKAGE_TARBALL}
    -P ${PROJECT_SOURCE_DIR}/cmake/assemble_package.cmake
  DEPENDS ${_lw_depends} ${LASSOWAVE_PACKAGE_DIR}/files.txt
    ${PROJECT_SOURCE_DIR}/cmake/assemble_package.cmake
  COMMENT "Octave package ${LASSOWAVE_PACKAGE_NAME}.tar.gz"
  VERBATIM)
add_custom_target(octave_package ALL DEPENDS ${LASSOWAVE_PACKAGE_TARBALL})

if(LASSOWAVE_OCTAVE)
  set(_lw_octave ${LASSOWAVE_OCTAVE_CLI} --norc --no-gui --no-window-system --quiet)
  set(_lw_tests ${PROJECT_SOURCE_DIR}/tests/package)

  # The package installs without network access: where user namespaces are
  # available, the install test runs with no network at all.
  set(_lw_offline "")
  execute_process(COMMAND unshare -rn true RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
  if(rc EQUAL 0)
    set(_lw_offline unshare -rn)
  endif()
  add_test(NAME package.install
    COMMAND ${_lw_offline} ${_lw_octave} --eval
      "addpath('${_lw_tests}'); exit(check_package('${LASSOWAVE_PACKAGE_TARBALL}', '${LASSOWAVE_MODULE_TABLE}', '${PROJECT_SOURCE_DIR}/toolbox'))")

  add_test(NAME build_script.octave
    COMMAND ${_lw_octave} --eval
      "addpath('${_lw_tests}'); exit(check_build_script('${PROJECT_SOURCE_DIR}', '${LASSOWAVE_VERSION}'))")

  # Each example runs in a folder of its own, asserts its outcome and leaves
  # its figure there. A function file in examples/ is a helper the examples
  # call (example_figure.m, fused_lasso_solve.m), not an example.
  file(GLOB _lw_examples CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/examples/*.m)
  foreach(example IN LISTS _lw_examples)
    get_filename_component(name ${example} NAME_WE)
    file(STRINGS ${example} first_line LIMIT_COUNT 1)
    if(name STREQUAL "quickstart" OR first_line MATCHES "^function")
      continue()
    endif()
    set(dir ${CMAKE_BINARY_DIR}/examples/${name})
    file(MAKE_DIRECTORY ${dir})
    add_test(NAME examples.${name}
      COMMAND ${_lw_octave} --eval
        "addpath('${_lw_tests}'); exit(check_example('${example}', '${LASSOWAVE_OCTAVE_DIR}'))"
      WORKING_DIRECTORY ${dir})
  endforeach()
endif()
add_test(NAME build.module_flags
  COMMAND ${CMAKE_COMMAND} -P ${PROJECT_SOURCE_DIR}/tests/package/check_module_flags.cmake)
add_test(NAME package.versions_agree
  COMMAND ${CMAKE_COMMAND} -DSOURCE=${PROJECT_SOURCE_DIR} -DVERSION=${LASSOWAVE_VERSION}
    -P ${PROJECT_SOURCE_DIR}/tests/package/check_versions.cmake)
