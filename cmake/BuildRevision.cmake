# Run at every build (cmake -P) to write the source revision into a small source file, which is
# rewritten only when its text changes, so an unchanged revision recompiles nothing.
# In: SOURCE_DIR, OUTPUT, VERSION.
# A git checkout gives its short commit, with "+" when the tree has changes not committed; a
# tarball made by `git archive` has the commit in REVISION (export-subst); else "unknown".
set(revision "")
find_package(Git QUIET)
if(GIT_FOUND AND EXISTS "${SOURCE_DIR}/.git")
  execute_process(COMMAND "${GIT_EXECUTABLE}" rev-parse --short=7 HEAD
    WORKING_DIRECTORY "${SOURCE_DIR}" OUTPUT_VARIABLE revision RESULT_VARIABLE failed
    OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(failed)
    set(revision "")
  else()
    execute_process(COMMAND "${GIT_EXECUTABLE}" diff-index --quiet HEAD --
      WORKING_DIRECTORY "${SOURCE_DIR}" RESULT_VARIABLE changed ERROR_QUIET)
    if(changed)
      string(APPEND revision "+")
    endif()
  endif()
endif()
if(revision STREQUAL "" AND EXISTS "${SOURCE_DIR}/REVISION")
  file(STRINGS "${SOURCE_DIR}/REVISION" stamped LIMIT_COUNT 1)
  # Outside an archive the placeholder is still there.
  if(stamped MATCHES "^[0-9a-f]+$")
    set(revision "${stamped}")
  endif()
endif()
if(revision STREQUAL "")
  set(revision "unknown")
endif()

set(text "// Written by cmake/BuildRevision.cmake at build time.
#include \"settings/buildinfo.h\"

QString BuildInfo::version()
{
    return QStringLiteral(\"${VERSION}\");
}

QString BuildInfo::revision()
{
    return QStringLiteral(\"${revision}\");
}
")
set(old "")
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
endif()
if(NOT old STREQUAL text)
  file(WRITE "${OUTPUT}" "${text}")
endif()
