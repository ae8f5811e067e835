# Reads DATABASE with the mdbtools commands and checks what they make of it.
# cmake -DMDBTOOLS_DIR=<folder of mdb-ver etc.> -DDATABASE=<file> -P CheckWithMdbtools.cmake

function(run expected_file_var)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${ARGN} failed (${rc}): ${err}")
  endif()
  set(${expected_file_var} "${out}" PARENT_SCOPE)
endfunction()

function(expect what actual expected)
  if(NOT actual STREQUAL expected)
    message(FATAL_ERROR "${what}: expected\n[${expected}]\ngot\n[${actual}]")
  endif()
endfunction()

run(out ${MDBTOOLS_DIR}/mdb-ver ${DATABASE})
expect("mdb-ver" "${out}" "JET4\n")

run(out ${MDBTOOLS_DIR}/mdb-tables -1 ${DATABASE})
expect("mdb-tables" "${out}" "testdata\n")

run(out ${MDBTOOLS_DIR}/mdb-tables -S -1 ${DATABASE})
expect("mdb-tables -S" "${out}" "MSysObjects\nMSysACEs\nMSysQueries\nMSysRelationships\ntestdata\n")

run(out ${MDBTOOLS_DIR}/mdb-schema -T testdata ${DATABASE} access)
string(REGEX MATCH "CREATE TABLE \\[testdata\\][^;]*;" create "${out}")
string(REGEX REPLACE "[ \t\n]+" " " create "${create}")
expect("mdb-schema" "${create}" "CREATE TABLE [testdata] ( [ID] Long Integer, [Name] Text (50) );")

run(out ${MDBTOOLS_DIR}/mdb-export ${DATABASE} testdata)
expect("mdb-export" "${out}" "ID,Name\n1,\"Alpha\"\n2,\"Beta\"\n3,\"Gamma\"\n4,\"Delta\"\n")

run(out ${MDBTOOLS_DIR}/mdb-count ${DATABASE} testdata)
expect("mdb-count" "${out}" "4\n")
