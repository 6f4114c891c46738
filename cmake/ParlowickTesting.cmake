# parlowick_add_test(NAME LABEL unit|window|phone SOURCES ... LIBRARIES ...)
# LIBRARIES name what the test exercises and its support library (test_support_core or
# test_support_gui); nothing else is linked. LABEL says what it needs: nothing (unit),
# windows (window), the simulated phone on the loopback network (phone); `ctest -L unit`.
# One QtTest executable, registered with CTest and run headless with a pinned locale,
# twice: in UTC, and in a zone with summer time and a half-hour offset (label "zone"), so
# a test that only holds in UTC fails here rather than on a user's machine. Tests make
# their own temporary data folders.
function(parlowick_add_test name)
    cmake_parse_arguments(ARG "" "LABEL" "SOURCES;LIBRARIES" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBRARIES} Qt6::Test parlowick_cfg)
    set(environment "QT_QPA_PLATFORM=offscreen;LANG=C.UTF-8;LC_ALL=C.UTF-8;QTWEBENGINE_DISABLE_SANDBOX=1")
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES
        TIMEOUT 300 RESOURCE_LOCK ${name} LABELS "${ARG_LABEL}" ENVIRONMENT "${environment};TZ=UTC")
    # Never beside its UTC run: some tests share fixed names on the machine.
    add_test(NAME ${name}@Adelaide COMMAND ${name})
    set_tests_properties(${name}@Adelaide PROPERTIES
        TIMEOUT 300 RESOURCE_LOCK ${name} LABELS "zone;${ARG_LABEL}" ENVIRONMENT "${environment};TZ=Australia/Adelaide")
endfunction()
