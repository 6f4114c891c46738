# parlowick_add_test(NAME SOURCES ... LIBRARIES ...)
# LIBRARIES name what the test exercises and its support library (test_support_core or
# test_support_gui); nothing else is linked.
# One QtTest executable, registered with CTest and run headless with a pinned locale
# and time zone. Tests make their own temporary data folders.
function(parlowick_add_test name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBRARIES" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBRARIES} Qt6::Test parlowick_cfg)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES
        TIMEOUT 300
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LANG=C.UTF-8;LC_ALL=C.UTF-8;TZ=UTC;QTWEBENGINE_DISABLE_SANDBOX=1")
endfunction()
