# MATLAB modules through FindMatlab's matlab_add_mex (included by
# LassowaveModule.cmake after find_package(Matlab)).
#
# Exports, as every MATLAB build of these modules has them (on Linux under
# the version node MEX):
#   large-array builds: mexFunction and mexfilerequiredapiversion
#   32-bit builds:      mexFunction and mexVersion
# FindMatlab compiles MATLAB's own version source into every module from
# MATLAB 9.1 on, and links with MATLAB's export map for it; that source
# defines mexfilerequiredapiversion and reports the release of the MATLAB
# that built the module, which is what the loading MATLAB checks. So:
#   large, 9.1 and later: MATLAB's version source and map, as FindMatlab sets
#                         them up;
#   large, before 9.1:    MATLAB has no source or map naming
#                         mexfilerequiredapiversion: host/mex_api_version.c
#                         and the project's map;
#   32-bit, any release:  host/mex_api_version.c (mexVersion) and MATLAB's
#                         classic map mexFunction.map, which names mexVersion;
#                         MATLAB's version source is taken out again.
# The project's hidden visibility never reaches these targets: the export
# maps decide what is visible, and FindMatlab's -fvisibility=default (9.5 on)
# stays in force.

function(lassowave_matlab_module name level help srcs)
  set(builds "")
  if(level MATCHES "^large")
    list(APPEND builds large)
  endif()
  if(level MATCHES "index32$")
    list(APPEND builds index32)
  endif()
  foreach(build IN LISTS builds)
    set(target matlab_${name})
    set(outdir ${LASSOWAVE_MATLAB_DIR})
    if(build STREQUAL "index32" AND level STREQUAL "large+index32")
      set(target matlab32_${name})
      set(outdir ${LASSOWAVE_MATLAB_DIR}/index32)
    endif()
    matlab_add_mex(NAME ${target} MODULE SRC ${srcs} OUTPUT_NAME ${name} R2017b)
    # matlab_add_mex uses the plain target_link_libraries signature.
    target_link_libraries(${target} lassowave_module_flags)
    set_target_properties(${target} PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${outdir}
      RUNTIME_OUTPUT_DIRECTORY ${outdir})
    if(help)
      # (Not matlab_add_mex's DOCUMENTATION: it adds the .m file to the
      # sources, where CMake takes it for Objective-C.)
      add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${CMAKE_COMMAND} -E copy_if_different ${help} ${outdir}/${name}.m)
    endif()
    if(build STREQUAL "index32")
      target_compile_definitions(${target} PRIVATE MX_COMPAT_32)
      _lassowave_matlab_own_version(${target} ${Matlab_EXTERN_LIBRARY_DIR}/mexFunction.map
        mexVersion)
    elseif(Matlab_VERSION_STRING VERSION_LESS "9.1")
      _lassowave_matlab_own_version(${target} ${PROJECT_SOURCE_DIR}/host/mex_exports.map
        mexfilerequiredapiversion)
    endif()
  endforeach()
endfunction()

# Builds <target> with host/mex_api_version.c instead of MATLAB's version
# source, exporting through <map> (Linux, macOS) or /EXPORT:<entry> (MSVC).
function(_lassowave_matlab_own_version target map entry)
  get_target_property(sources ${target} SOURCES)
  list(FILTER sources EXCLUDE REGEX "/extern/version/")
  set_property(TARGET ${target} PROPERTY SOURCES ${sources}
    ${PROJECT_SOURCE_DIR}/host/mex_api_version.c)
  get_target_property(flags ${target} LINK_FLAGS)
  if(NOT flags)
    set(flags "")
  endif()
  string(REGEX REPLACE "/EXPORT:mexfilerequiredapiversion" "" flags "${flags}")
  if(MSVC)
    string(APPEND flags " /EXPORT:${entry}")
  elseif(NOT APPLE OR map MATCHES "/extern/lib/")
    # (The project's map is a GNU version script; macOS keeps MATLAB's list.)
    string(REGEX REPLACE "(--version-script|-exported_symbols_list),[^ ]+" "\\1,${map}"
      flags "${flags}")
  endif()
  set_property(TARGET ${target} PROPERTY LINK_FLAGS "${flags}")
endfunction()
