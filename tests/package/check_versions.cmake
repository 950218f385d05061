# cmake -DSOURCE=<source tree> -DVERSION=<project version> -P check_versions.cmake
#
# One version number: the project's. The newest released CHANGELOG entry
# (an "## Unreleased" section may stand above it) must be for it, and every
# lassowave-X.Y.Z the README names must be it. (The package's DESCRIPTION is
# written from it; build_lassowave.m reads it from the project() line, which
# check_build_script.m checks.)
set(failures "")

file(STRINGS ${SOURCE}/CHANGELOG.md entries REGEX "^## ")
list(REMOVE_ITEM entries "## Unreleased")
list(GET entries 0 newest)
if(NOT newest MATCHES "^## ${VERSION} \\([0-9]+-[0-9]+-[0-9]+\\)$")
  list(APPEND failures "the newest CHANGELOG.md entry is \"${newest}\", not \"## ${VERSION} (date)\"")
endif()

file(READ ${SOURCE}/README.md readme)
string(REGEX MATCHALL "lassowave-[0-9]+\\.[0-9]+\\.[0-9]+" named "${readme}")
if(NOT named)
  list(APPEND failures "README.md names no lassowave-${VERSION} package")
endif()
foreach(n IN LISTS named)
  if(NOT n STREQUAL "lassowave-${VERSION}")
    list(APPEND failures "README.md names ${n}, but the version is ${VERSION}")
  endif()
endforeach()

if(failures)
  foreach(f IN LISTS failures)
    message(SEND_ERROR "${f}")
  endforeach()
  message(FATAL_ERROR "the version numbers disagree")
endif()
message(STATUS "version ${VERSION}: CHANGELOG.md and README.md agree")
