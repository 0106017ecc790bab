# Runs one page script through nphost on a fresh machine and checks what came out.
#   cmake -DNPHOST=exe -DQMCTL=exe -DWORKDIR=dir -DPLUGIN=lib.so -DSCRIPT=page.js -DEXIT=n
#         [-DEXPECT_OUT=file] [-DSTDERR_MATCH=re] [-DUI_LANGUAGE=0804]
#         [-DTRACE_MASK=0x8] [-DTRACE_HAS="re|re"] [-DTRACE_EVERY=re] [-DNO_FILES_WRITTEN=ON]
#         -P run_page.cmake
# Without TRACE_MASK, QM_TRACE is removed from the environment.
file(REMOVE_RECURSE ${WORKDIR})
file(MAKE_DIRECTORY ${WORKDIR})
set(machine ${WORKDIR}/machine)
set(ENV{HOME} ${WORKDIR}/home)
set(ENV{XDG_DATA_HOME} ${WORKDIR}/home/data)
unset(ENV{QM_TRACE})
unset(ENV{QM_ELEVATED})

function(run_checked)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status ERROR_VARIABLE err OUTPUT_QUIET)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${ARGN} failed (${status}): ${err}")
  endif()
endfunction()

run_checked(${QMCTL} --machine ${machine} init)
if(UI_LANGUAGE)
  run_checked(${QMCTL} --machine ${machine} reg set
    "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Nls\\Language" InstallLanguage REG_SZ ${UI_LANGUAGE})
endif()

set(trace_file ${WORKDIR}/trace.txt)
if(TRACE_MASK)
  set(ENV{QM_TRACE} "${TRACE_MASK}:${trace_file}")
endif()

file(GLOB_RECURSE files_before LIST_DIRECTORIES false RELATIVE ${WORKDIR} ${WORKDIR}/*)
execute_process(
  COMMAND ${NPHOST} --machine ${machine} ${PLUGIN} ${SCRIPT}
  WORKING_DIRECTORY ${WORKDIR}
  RESULT_VARIABLE status
  OUTPUT_VARIABLE out
  ERROR_VARIABLE err)
file(GLOB_RECURSE files_after LIST_DIRECTORIES false RELATIVE ${WORKDIR} ${WORKDIR}/*)

set(failed OFF)
function(fail text)
  message("${text}")
  set(failed ON PARENT_SCOPE)
endfunction()

if(NOT status STREQUAL "${EXIT}")
  fail("exit status ${status}, expected ${EXIT}")
endif()
if(EXPECT_OUT)
  file(READ ${EXPECT_OUT} expected)
  if(NOT out STREQUAL expected)
    fail("stdout differs from ${EXPECT_OUT}")
  endif()
endif()
if(DEFINED STDERR_MATCH AND NOT err MATCHES "${STDERR_MATCH}")
  fail("stderr does not match: ${STDERR_MATCH}")
endif()

if(TRACE_MASK)
  if(NOT EXISTS ${trace_file})
    fail("no trace file written")
  else()
    file(STRINGS ${trace_file} lines)
    string(REPLACE "|" ";" wanted "${TRACE_HAS}")
    foreach(re ${wanted})
      set(found OFF)
      foreach(line ${lines})
        if(line MATCHES "${re}")
          set(found ON)
          break()
        endif()
      endforeach()
      if(NOT found)
        fail("no trace line matches: ${re}")
      endif()
    endforeach()
    if(TRACE_EVERY)
      foreach(line ${lines})
        if(NOT line MATCHES "${TRACE_EVERY}")
          fail("trace line does not match ${TRACE_EVERY}: ${line}")
        endif()
      endforeach()
    endif()
  endif()
endif()

if(NO_FILES_WRITTEN)
  # Only the registry may change; any other new file is a stray trace or log.
  list(REMOVE_ITEM files_after ${files_before})
  list(FILTER files_after EXCLUDE REGEX "^machine/registry/")
  if(files_after)
    fail("files written: ${files_after}")
  endif()
endif()

if(failed)
  message("--- stdout ---\n${out}--- stderr ---\n${err}")
  message(FATAL_ERROR "page case failed")
endif()
