# Runs the writer on a description it must refuse: it has to fail with a message and leave
# nothing behind in the output folder.
# cmake -DJET4=<tool> -DWORK_DIR=<empty folder> -P CheckRefusal.cmake

file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
file(WRITE ${WORK_DIR}/bad.txt "table testdata\ncolumn ID long\ncolumn Name text 5\nrow 1 | Too long a name\n")
execute_process(COMMAND ${JET4} --table ${WORK_DIR}/bad.txt ${WORK_DIR}/out.mdb
                RESULT_VARIABLE rc ERROR_VARIABLE err)
if(rc EQUAL 0)
  message(FATAL_ERROR "the writer accepted a value longer than its column")
endif()
if(NOT err MATCHES "longer than 5 characters")
  message(FATAL_ERROR "unclear message: ${err}")
endif()
file(GLOB left RELATIVE ${WORK_DIR} ${WORK_DIR}/*)
if(NOT left STREQUAL "bad.txt")
  message(FATAL_ERROR "the failed run left files behind: ${left}")
endif()

# A good run replaces an existing file and leaves no temporary file.
file(WRITE ${WORK_DIR}/out.mdb "old")
execute_process(COMMAND ${JET4} ${WORK_DIR}/out.mdb RESULT_VARIABLE rc)
file(GLOB left RELATIVE ${WORK_DIR} ${WORK_DIR}/*)
file(SIZE ${WORK_DIR}/out.mdb size)
if(NOT rc EQUAL 0 OR NOT left STREQUAL "bad.txt;out.mdb" OR NOT size EQUAL 90112)
  message(FATAL_ERROR "good run: exit ${rc}, files ${left}, size ${size}")
endif()

# The temporary file is the writer's own: a link lying in wait under a name derived from the
# target is neither followed nor replaced, and a target name of the longest length a folder takes
# is written.
file(WRITE ${WORK_DIR}/victim "keep")
file(CREATE_LINK ${WORK_DIR}/victim ${WORK_DIR}/out.mdb.partial SYMBOLIC)
string(REPEAT "n" 251 long)
execute_process(COMMAND ${JET4} ${WORK_DIR}/out.mdb RESULT_VARIABLE rc1)
execute_process(COMMAND ${JET4} ${WORK_DIR}/${long}.mdb RESULT_VARIABLE rc2 ERROR_VARIABLE err)
file(READ ${WORK_DIR}/victim victim)
if(NOT rc1 EQUAL 0 OR NOT rc2 EQUAL 0 OR NOT victim STREQUAL "keep" OR IS_SYMLINK ${WORK_DIR}/out.mdb)
  message(FATAL_ERROR "own temporary file: exits ${rc1} ${rc2} (${err}), victim now '${victim}'")
endif()
file(GLOB left RELATIVE ${WORK_DIR} ${WORK_DIR}/.jet4-*)
if(left)
  message(FATAL_ERROR "temporary files left behind: ${left}")
endif()

# An I/O error names the system's reason.
execute_process(COMMAND ${JET4} ${WORK_DIR}/missing/out.mdb RESULT_VARIABLE rc ERROR_VARIABLE err)
if(rc EQUAL 0 OR NOT err MATCHES "No such file or directory")
  message(FATAL_ERROR "a failed write without its reason: exit ${rc}, ${err}")
endif()
