# Runs nphost once and checks its exit status, its stdout (against a file) and its stderr
# (against a regular expression).
#   cmake -DNPHOST=exe -DWORKDIR=dir -DCASE_ARGS="a|b|c" -DEXIT=n
#         [-DEXPECT_OUT=file] [-DSTDOUT_MATCH=re] [-DSTDERR_MATCH=re] [-DSET_ENV="NAME=VALUE|..."]
#         -P run_case.cmake
# Every run gets a fresh machine directory of its own (--machine WORKDIR/machine).
file(REMOVE_RECURSE ${WORKDIR})
file(MAKE_DIRECTORY ${WORKDIR}/machine)
string(REPLACE "|" ";" args "${CASE_ARGS}")
string(REPLACE "|" ";" settings "${SET_ENV}")
foreach(setting ${settings})
  string(FIND "${setting}" "=" eq)
  string(SUBSTRING "${setting}" 0 ${eq} name)
  math(EXPR start "${eq} + 1")
  string(SUBSTRING "${setting}" ${start} -1 value)
  set(ENV{${name}} "${value}")
endforeach()
execute_process(
  COMMAND ${NPHOST} --machine ${WORKDIR}/machine ${args}
  RESULT_VARIABLE status
  OUTPUT_VARIABLE out
  ERROR_VARIABLE err)
set(failed OFF)
if(NOT status STREQUAL "${EXIT}")
  message("exit status ${status}, expected ${EXIT}")
  set(failed ON)
endif()
if(EXPECT_OUT)
  file(READ ${EXPECT_OUT} expected)
  if(NOT out STREQUAL expected)
    message("stdout differs from ${EXPECT_OUT}")
    set(failed ON)
  endif()
endif()
if(STDOUT_MATCH AND NOT out MATCHES "${STDOUT_MATCH}")
  message("stdout does not match: ${STDOUT_MATCH}")
  set(failed ON)
endif()
if(STDERR_MATCH AND NOT err MATCHES "${STDERR_MATCH}")
  message("stderr does not match: ${STDERR_MATCH}")
  set(failed ON)
endif()
if(failed)
  message("--- stdout ---\n${out}--- stderr ---\n${err}")
  message(FATAL_ERROR "nphost case failed")
endif()
