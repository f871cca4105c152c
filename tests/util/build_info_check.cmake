# Runs build_info_gen.cmake on scratch source trees and checks the header.
# Usage: cmake -DGENERATOR_SCRIPT=... -DWORK_DIR=... [-DGIT_EXECUTABLE=...] -P this

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}/plain")
set(out "${WORK_DIR}/pclxl_build_info.h")

function(generate source_dir build_type env_args)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env ${env_args}
      ${CMAKE_COMMAND} -DSOURCE_DIR=${source_dir} -DOUTPUT=${out}
        -DGIT_EXECUTABLE=${GIT_EXECUTABLE} -DCONFIGURE_DATE=2000-01-01T00:00:00Z
        -DBUILD_TYPE=${build_type} -P ${GENERATOR_SCRIPT}
    RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "generator failed: ${rc}")
  endif()
endfunction()

function(expect item value)
  file(STRINGS "${out}" line REGEX "^#define PCLXL_${item} ")
  if(NOT line STREQUAL "#define PCLXL_${item} \"${value}\"")
    message(FATAL_ERROR "expected PCLXL_${item} \"${value}\", got: ${line}")
  endif()
endfunction()

# Sources that are not a checkout of their own (this directory lies inside
# the build tree, which may itself sit in a git checkout): no git fields.
generate("${WORK_DIR}/plain" Debug SOURCE_DATE_EPOCH=86400)
expect(BUILD_DATE "1970-01-02T00:00:00Z")
expect(BUILD_TYPE "Debug")
expect(GIT_BRANCH "")
expect(GIT_COMMIT "")
expect(GIT_COMMIT_DATE "")

# Without SOURCE_DATE_EPOCH the date of configuration is used.
generate("${WORK_DIR}/plain" Release --unset=SOURCE_DATE_EPOCH)
expect(BUILD_DATE "2000-01-01T00:00:00Z")
expect(BUILD_TYPE "Release")

# A missing git is no error.
set(real_git "${GIT_EXECUTABLE}")
set(GIT_EXECUTABLE "")
generate("${WORK_DIR}/plain" Debug SOURCE_DATE_EPOCH=0)
expect(BUILD_DATE "1970-01-01T00:00:00Z")
expect(GIT_COMMIT "")
set(GIT_EXECUTABLE "${real_git}")

if(NOT GIT_EXECUTABLE)
  message("git not found: checkout fields not checked")
  return()
endif()

set(repo "${WORK_DIR}/repo")
file(MAKE_DIRECTORY "${repo}")
file(WRITE "${repo}/file.txt" "content\n")
set(git_env GIT_AUTHOR_DATE=2001-02-03T04:05:06+00:00 GIT_COMMITTER_DATE=2001-02-03T04:05:06+00:00)
foreach(args
    "init;-q"
    "symbolic-ref;HEAD;refs/heads/trunk"
    "add;file.txt"
    "-c;user.name=build-info-test;-c;user.email=test@example.invalid;-c;commit.gpgsign=false;commit;-q;-m;first")
  execute_process(COMMAND ${CMAKE_COMMAND} -E env ${git_env} ${GIT_EXECUTABLE} ${args}
    WORKING_DIRECTORY "${repo}" RESULT_VARIABLE rc OUTPUT_QUIET)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "git ${args} failed")
  endif()
endforeach()
execute_process(COMMAND ${GIT_EXECUTABLE} rev-parse HEAD WORKING_DIRECTORY "${repo}"
  OUTPUT_VARIABLE commit OUTPUT_STRIP_TRAILING_WHITESPACE)

generate("${repo}" Debug SOURCE_DATE_EPOCH=86400)
expect(GIT_BRANCH "trunk")
expect(GIT_COMMIT "${commit}")
expect(GIT_COMMIT_DATE "2001-02-03T04:05:06+00:00")

message("build information checked")
