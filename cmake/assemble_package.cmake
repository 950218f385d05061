# cmake -DLIST=<files.txt> -DSTAGE=<dir> -DNAME=<lassowave-x.y.z> -DTARBALL=<file> -P assemble_package.cmake
#
# Lays out the Octave package in STAGE/NAME from LIST (alternating lines: a
# file, then its path inside the package) and packs it into TARBALL, with
# NAME as the single top-level folder, as pkg install expects.
file(STRINGS ${LIST} entries)
set(root ${STAGE}/${NAME})
file(REMOVE_RECURSE ${STAGE})
list(LENGTH entries n)
math(EXPR last "${n} - 1")
foreach(i RANGE 0 ${last} 2)
  math(EXPR j "${i} + 1")
  list(GET entries ${i} from)
  list(GET entries ${j} to)
  if(NOT EXISTS ${from})
    message(FATAL_ERROR "lassowave package: ${from} is missing")
  endif()
  configure_file(${from} ${root}/${to} COPYONLY)
endforeach()
file(MAKE_DIRECTORY ${root}/inst)
file(REMOVE ${TARBALL})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar czf ${TARBALL} ${NAME}
  WORKING_DIRECTORY ${STAGE} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "lassowave package: packing ${TARBALL} failed")
endif()
