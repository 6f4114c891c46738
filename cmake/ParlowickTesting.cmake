# parlowick_add_test(NAME LABEL unit|window|phone SOURCES ... LIBRARIES ... [PARTS] [RESOURCE_LOCK NAME])
# LIBRARIES name what the test exercises and its support library (test_support_core or
# test_support_gui); nothing else is linked. LABEL says what it needs: nothing (unit),
# windows (window), the simulated phone on the loopback network (phone); `ctest -L unit`.
# One QtTest executable, registered with CTest and run headless with a pinned locale,
# twice: in UTC, and in a zone with summer time and a half-hour offset (label "zone"), so
# a test that only holds in UTC fails here rather than on a user's machine. Tests make
# their own temporary data folders and take loopback addresses found free at run time, so
# every test may run beside any other, and beside a second run of the suite: a lock is for
# a test that still shares something on the machine. PARTS: the executable is registered
# by parlowick_add_test_part instead, a few test functions at a time.
#
# PARLOWICK_PAUSE_SCALE=0 cuts the pauses a real phone's service needs, in the test and in
# every program it starts; a test that wants them takes the variable out.
# UBSAN_OPTIONS: in a sanitizer build (PARLOWICK_ASAN) undefined behaviour stops the test
# with a stack instead of only printing a line in a test that still passes.
set(PARLOWICK_TEST_ENVIRONMENT
    "QT_QPA_PLATFORM=offscreen;LANG=C.UTF-8;LC_ALL=C.UTF-8;QTWEBENGINE_DISABLE_SANDBOX=1;PARLOWICK_PAUSE_SCALE=0"
    "UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1")
# Qt WebEngine frees with a size its allocation did not have (inside the library), and the
# libraries named in tests/lsan.supp keep their caches to the end of the process: not ours to fix.
if(PARLOWICK_ASAN)
    list(APPEND PARLOWICK_TEST_ENVIRONMENT "ASAN_OPTIONS=new_delete_type_mismatch=0"
         "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp")
endif()

# Registers COMMAND as NAME in UTC and as NAME@Adelaide.
function(_parlowick_register_zones name label lock)
    set(command ${ARGN})
    foreach(zone UTC Adelaide)
        if(zone STREQUAL "UTC")
            set(entry ${name})
            set(labels "${label}")
            set(tz UTC)
        else()
            set(entry ${name}@${zone})
            set(labels "zone;${label}")
            set(tz Australia/Adelaide)
        endif()
        add_test(NAME ${entry} COMMAND ${command})
        set_tests_properties(${entry} PROPERTIES
            TIMEOUT 300 LABELS "${labels}" ENVIRONMENT "${PARLOWICK_TEST_ENVIRONMENT};TZ=${tz}")
        if(lock)
            set_tests_properties(${entry} PROPERTIES RESOURCE_LOCK ${lock})
        endif()
    endforeach()
endfunction()

function(parlowick_add_test name)
    cmake_parse_arguments(ARG "PARTS" "LABEL;RESOURCE_LOCK" "SOURCES;LIBRARIES" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBRARIES} Qt6::Test parlowick_cfg)
    set_target_properties(${name} PROPERTIES PARLOWICK_TEST_LABEL "${ARG_LABEL}")
    if(ARG_PARTS)
        # Every test function must be in some part: a check of its own says which is not.
        add_test(NAME ${name}:parts COMMAND ${CMAKE_COMMAND} -DTEST=$<TARGET_FILE:${name}>
            "-DFUNCTIONS=$<JOIN:$<TARGET_PROPERTY:${name},PARLOWICK_TEST_FUNCTIONS>,,>"
            -P ${CMAKE_SOURCE_DIR}/cmake/CheckTestParts.cmake)
        set_tests_properties(${name}:parts PROPERTIES
            TIMEOUT 60 LABELS "unit" ENVIRONMENT "${PARLOWICK_TEST_ENVIRONMENT};TZ=UTC")
    else()
        _parlowick_register_zones(${name} "${ARG_LABEL}" "${ARG_RESOURCE_LOCK}" ${name})
    endif()
endfunction()

# parlowick_add_test_part(NAME PART FUNCTIONS ... [LABEL ...] [RESOURCE_LOCK NAME])
# Registers the test functions of NAME (added with PARTS) as NAME:PART in both zones, so
# the parts of a long test run side by side. LABEL defaults to the test's own.
function(parlowick_add_test_part name part)
    cmake_parse_arguments(ARG "" "LABEL;RESOURCE_LOCK" "FUNCTIONS" ${ARGN})
    if(NOT ARG_FUNCTIONS)
        message(FATAL_ERROR "parlowick_add_test_part(${name} ${part}): no FUNCTIONS")
    endif()
    if(NOT ARG_LABEL)
        get_target_property(ARG_LABEL ${name} PARLOWICK_TEST_LABEL)
    endif()
    set_property(TARGET ${name} APPEND PROPERTY PARLOWICK_TEST_FUNCTIONS ${ARG_FUNCTIONS})
    _parlowick_register_zones(${name}:${part} "${ARG_LABEL}" "${ARG_RESOURCE_LOCK}" ${name} ${ARG_FUNCTIONS})
endfunction()
