# The functions written in the host language over the modules (toolbox/:
# solvers, wavelet filters, denoising), installed wherever the modules are:
#
#   Octave:  build/octave/, beside the modules, so that one addpath gives both
#   MATLAB:  build/matlab/
#   install: <prefix>/octave/
#   package: inst/ (cmake/LassowavePackage.cmake reads LASSOWAVE_TOOLBOX_FILES)
#
# Every file of toolbox/ goes along (data files a function reads sit beside
# it), and toolbox/private/ keeps its name. Tests (with Octave): toolbox.<name>
# runs the built-in tests of each function file in build/octave/.

file(GLOB_RECURSE LASSOWAVE_TOOLBOX_FILES CONFIGURE_DEPENDS
  RELATIVE ${PROJECT_SOURCE_DIR}/toolbox ${PROJECT_SOURCE_DIR}/toolbox/*)
list(FILTER LASSOWAVE_TOOLBOX_FILES EXCLUDE REGEX "(^|/)\\.|~$")
list(SORT LASSOWAVE_TOOLBOX_FILES)

set(_lw_toolbox_outputs "")
set(_lw_toolbox_dirs "")
if(LASSOWAVE_OCTAVE)
  list(APPEND _lw_toolbox_dirs ${LASSOWAVE_OCTAVE_DIR})
endif()
if(LASSOWAVE_MATLAB)
  list(APPEND _lw_toolbox_dirs ${LASSOWAVE_MATLAB_DIR})
endif()
foreach(rel IN LISTS LASSOWAVE_TOOLBOX_FILES)
  set(from ${PROJECT_SOURCE_DIR}/toolbox/${rel})
  foreach(dir IN LISTS _lw_toolbox_dirs)
    add_custom_command(OUTPUT ${dir}/${rel}
      COMMAND ${CMAKE_COMMAND} -E copy ${from} ${dir}/${rel}
      DEPENDS ${from} VERBATIM)
    list(APPEND _lw_toolbox_outputs ${dir}/${rel})
  endforeach()
  get_filename_component(sub ${rel} DIRECTORY)
  install(FILES ${from} DESTINATION octave/${sub})
endforeach()
add_custom_target(lassowave_toolbox ALL DEPENDS ${_lw_toolbox_outputs})
if(LASSOWAVE_OCTAVE)
  add_dependencies(lassowave_octave_modules lassowave_toolbox)
endif()

if(LASSOWAVE_OCTAVE)
  foreach(rel IN LISTS LASSOWAVE_TOOLBOX_FILES)
    if(rel MATCHES "^[^/]+\\.m$")
      get_filename_component(name ${rel} NAME_WE)
      add_test(NAME toolbox.${name}
        COMMAND ${LASSOWAVE_OCTAVE_CLI} --norc --no-gui --no-window-system --quiet --eval
          "addpath('${PROJECT_SOURCE_DIR}/tests/octave'); exit(run_octave_test('${name}', '${LASSOWAVE_OCTAVE_DIR}'))")
    endif()
  endforeach()
endif()
