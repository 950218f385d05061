# Readers of the module table (cmake/modules.txt) and of the module flags
# (cmake/module_flags.txt); also usable from a cmake -P script.

set(LASSOWAVE_MODULE_TABLE ${CMAKE_CURRENT_LIST_DIR}/modules.txt)
set(LASSOWAVE_MODULE_FLAGS ${CMAKE_CURRENT_LIST_DIR}/module_flags.txt)

# The non-comment lines of a table file, each as a list of its words.
# Sets <out>_COUNT and <out>_<i> (i from 0).
function(_lassowave_read_rows file out)
  file(STRINGS ${file} lines)
  set(n 0)
  foreach(line IN LISTS lines)
    string(STRIP "${line}" line)
    if(line STREQUAL "" OR line MATCHES "^#")
      continue()
    endif()
    string(REGEX REPLACE "[ \t]+" ";" words "${line}")
    set(${out}_${n} ${words} PARENT_SCOPE)
    math(EXPR n "${n} + 1")
  endforeach()
  set(${out}_COUNT ${n} PARENT_SCOPE)
endfunction()

# lassowave_read_flags(<out> <set> <compiler> <language>)
# The flags of one set (module, hidden) for one compiler family (gnu, msvc)
# and language (c, cxx) from cmake/module_flags.txt.
function(lassowave_read_flags out set compiler language)
  _lassowave_read_rows(${LASSOWAVE_MODULE_FLAGS} row)
  set(flags "")
  if(row_COUNT GREATER 0)
    math(EXPR last "${row_COUNT} - 1")
    foreach(i RANGE ${last})
      set(words ${row_${i}})
      list(POP_FRONT words s c l)
      if(s STREQUAL set AND c STREQUAL compiler AND (l STREQUAL language OR l STREQUAL "both"))
        list(APPEND flags ${words})
      endif()
    endforeach()
  endif()
  set(${out} ${flags} PARENT_SCOPE)
endfunction()
