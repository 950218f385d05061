# cmake -DSOURCE=<source tree> -DROOT=<stand-in MATLAB root> -DBUILD=<folder>
#       -DRELEASE_CODE=<code> -DCHECK=<check_matlab_build.sh> -DCOMPARE=<compare_modules>
#       -DGENERATOR=<generator> -P check_cmake_path.cmake
#
# The CMake MATLAB path (-DLASSOWAVE_MATLAB=ON, FindMatlab) on a stand-in
# MATLAB installation: configures a MATLAB-only build of the source tree in
# BUILD, builds every module, and checks them (check_matlab_build.sh).
file(REMOVE_RECURSE ${BUILD})
execute_process(
  COMMAND ${CMAKE_COMMAND} -S ${SOURCE} -B ${BUILD} -G ${GENERATOR}
    -DCMAKE_BUILD_TYPE=Release -DLASSOWAVE_MATLAB=ON -DLASSOWAVE_TESTHOST=OFF
    -DLASSOWAVE_OCTAVE=OFF -DLASSOWAVE_BENCHMARKS=OFF -DMatlab_ROOT_DIR=${ROOT}
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "configuring with the stand-in MATLAB at ${ROOT} failed:\n${out}")
endif()
string(REGEX MATCH "Found Matlab: [^\n]*" found "${out}")
message(STATUS "${found}")
execute_process(
  COMMAND ${CMAKE_COMMAND} --build ${BUILD} -j 2
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "building the MATLAB modules failed:\n${out}")
endif()
if(out MATCHES "warning:")
  message(FATAL_ERROR "building the MATLAB modules gave warnings:\n${out}")
endif()
execute_process(
  COMMAND bash ${CHECK} ${ROOT} ${BUILD}/matlab ${RELEASE_CODE} ${COMPARE}
  RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "the MATLAB modules built on ${ROOT} fail their checks")
endif()
file(REMOVE_RECURSE ${BUILD})
