# lassowave_octave_mex_soversion(<mkoctfile> <out_var>)
#
# Octave 11 and later load a MEX file only if it defines
# __octave_mex_soversion__, an int holding the version of the MEX interface
# the running Octave implements; mkoctfile --mex adds that definition to
# every MEX file it links. The CMake build links without mkoctfile, so it
# takes the value from a probe that this Octave's mkoctfile links: <out_var>
# is set to that value, or to "" when this mkoctfile defines no such symbol
# (Octave 10 and older).
function(lassowave_octave_mex_soversion mkoctfile out)
  set(dir ${CMAKE_BINARY_DIR}/CMakeFiles/octave_mex_probe)
  file(MAKE_DIRECTORY ${dir})
  file(WRITE ${dir}/probe.c "#include \"mex.h\"
void mexFunction(int nlhs, mxArray *plhs[], int nrhs, const mxArray *prhs[]) {
  (void)nlhs; (void)plhs; (void)nrhs; (void)prhs;
}
")
  execute_process(COMMAND ${mkoctfile} --mex -o probe.mex probe.c
    WORKING_DIRECTORY ${dir} RESULT_VARIABLE rc OUTPUT_VARIABLE log ERROR_VARIABLE log)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "lassowave: ${mkoctfile} --mex cannot link a minimal MEX file:\n${log}")
  endif()
  execute_process(COMMAND ${CMAKE_READELF} --dyn-syms --wide ${dir}/probe.mex
    OUTPUT_VARIABLE symbols RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "lassowave: ${CMAKE_READELF} cannot read ${dir}/probe.mex")
  endif()
  if(NOT symbols MATCHES " ([0-9a-fA-F]+) +4 OBJECT +GLOBAL +DEFAULT +[0-9]+ __octave_mex_soversion__")
    set(${out} "" PARENT_SCOPE)
    return()
  endif()
  set(address 0x${CMAKE_MATCH_1})
  math(EXPR stop "${address} + 4" OUTPUT_FORMAT HEXADECIMAL)
  execute_process(COMMAND ${CMAKE_OBJDUMP} -s --start-address=${address} --stop-address=${stop}
    ${dir}/probe.mex OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0 OR NOT dump MATCHES "\n *[0-9a-fA-F]+ ([0-9a-fA-F][0-9a-fA-F])([0-9a-fA-F][0-9a-fA-F])([0-9a-fA-F][0-9a-fA-F])([0-9a-fA-F][0-9a-fA-F])")
    message(FATAL_ERROR "lassowave: cannot read __octave_mex_soversion__ from ${dir}/probe.mex:\n${dump}")
  endif()
  if(CMAKE_C_BYTE_ORDER STREQUAL "BIG_ENDIAN")
    math(EXPR value "0x${CMAKE_MATCH_1}${CMAKE_MATCH_2}${CMAKE_MATCH_3}${CMAKE_MATCH_4}")
  else()
    math(EXPR value "0x${CMAKE_MATCH_4}${CMAKE_MATCH_3}${CMAKE_MATCH_2}${CMAKE_MATCH_1}")
  endif()
  set(${out} ${value} PARENT_SCOPE)
endfunction()
