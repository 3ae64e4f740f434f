# One commit gives the same release bytes on any day, in any folder.
#
# QUENVALE_SOURCE_DATE_EPOCH is the time every dated thing in the release carries (the Windows
# module's PE time stamps, the zip's entries): $ENV{SOURCE_DATE_EPOCH} when set, else the time of
# the commit being built, else 0. QUENVALE_COMMIT names that commit, with "-modified" when the
# tracked files differ from it (such a build cannot be compared with anything). Both are read
# again at every configure, which the scripts run before each build.
find_package(Git QUIET)
set(QUENVALE_COMMIT "unknown")
set(commit_time "")
if(GIT_FOUND AND EXISTS ${PROJECT_SOURCE_DIR}/.git)
  execute_process(COMMAND ${GIT_EXECUTABLE} -C ${PROJECT_SOURCE_DIR} log -1 --format=%H/%ct
                  OUTPUT_VARIABLE head OUTPUT_STRIP_TRAILING_WHITESPACE
                  RESULT_VARIABLE head_status ERROR_QUIET)
  if(head_status EQUAL 0 AND head MATCHES "^([0-9a-f]+)/([0-9]+)$")
    set(QUENVALE_COMMIT ${CMAKE_MATCH_1})
    set(commit_time ${CMAKE_MATCH_2})
    execute_process(COMMAND ${GIT_EXECUTABLE} -C ${PROJECT_SOURCE_DIR} status --porcelain
                            --untracked-files=no
                    OUTPUT_VARIABLE changes OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(NOT changes STREQUAL "")
      string(APPEND QUENVALE_COMMIT "-modified")
    endif()
  endif()
endif()

if(DEFINED ENV{SOURCE_DATE_EPOCH})
  if(NOT "$ENV{SOURCE_DATE_EPOCH}" MATCHES "^[0-9]+$")
    message(FATAL_ERROR "SOURCE_DATE_EPOCH must be a number of seconds, not '$ENV{SOURCE_DATE_EPOCH}'")
  endif()
  set(QUENVALE_SOURCE_DATE_EPOCH $ENV{SOURCE_DATE_EPOCH})
elseif(NOT commit_time STREQUAL "")
  set(QUENVALE_SOURCE_DATE_EPOCH ${commit_time})
else()
  message(WARNING "Neither SOURCE_DATE_EPOCH nor a git commit: the release is dated 1970-01-01")
  set(QUENVALE_SOURCE_DATE_EPOCH 0)
endif()

# No build folder in any binary: file names from __FILE__ and in debug information are written
# relative to the source tree (and to the build tree when that lies elsewhere).
add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}/=)
cmake_path(IS_PREFIX PROJECT_SOURCE_DIR ${PROJECT_BINARY_DIR} NORMALIZE binary_inside_source)
if(NOT binary_inside_source)
  add_compile_options(-ffile-prefix-map=${PROJECT_BINARY_DIR}/=)
endif()

# quenvale_dated_link(<target>): the PE linker writes QUENVALE_SOURCE_DATE_EPOCH as the file's
# and the export table's time stamps (GNU ld reads it from SOURCE_DATE_EPOCH) instead of the
# time of linking.
function(quenvale_dated_link target)
  if(WIN32)
    set_target_properties(${target} PROPERTIES CXX_LINKER_LAUNCHER
      "${CMAKE_COMMAND};-E;env;SOURCE_DATE_EPOCH=${QUENVALE_SOURCE_DATE_EPOCH}")
  endif()
endfunction()
