# cmake -DTEST=EXECUTABLE -DFUNCTIONS=a,b,... -P CheckTestParts.cmake
# Fails when the QtTest executable has a test function that no registered part runs, or a
# part names one it does not have: a function left out of every part would never run.
execute_process(COMMAND ${TEST} -functions OUTPUT_VARIABLE listed RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "${TEST} -functions failed: ${status}")
endif()
string(REGEX MATCHALL "[A-Za-z_][A-Za-z0-9_]*\\(\\)" found "${listed}")
list(TRANSFORM found REPLACE "\\(\\)$" "")
string(REPLACE "," ";" registered "${FUNCTIONS}")
set(missing ${found})
list(REMOVE_ITEM missing ${registered})
set(unknown ${registered})
list(REMOVE_ITEM unknown ${found})
if(missing OR unknown OR NOT found)
    message(FATAL_ERROR "in no part: ${missing}; not in the test: ${unknown}")
endif()
message(STATUS "every test function of ${TEST} is in a part")
