# vorland_add_test(NAME <name> SOURCES <files...> [LIBS <targets...>] [LABELS <labels...>]
#                  [TIMEOUT <seconds>] [ENV <VAR=value...>])
# Builds one GoogleTest program and registers it with CTest as a single test. Every test program
# gets VORLAND_BIN_DIR (where the program and the engine are built) and VORLAND_SOURCE_DIR, and runs
# in a time zone that is not UTC (zip times are local times), also when ctest is run by hand.
set(VORLAND_TEST_TZ "America/Sao_Paulo" CACHE STRING "Time zone the tests run in")
find_package(GTest REQUIRED)

function(vorland_add_test)
    cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS;ENV" ${ARGN})
    if(NOT T_NAME OR NOT T_SOURCES)
        message(FATAL_ERROR "vorland_add_test needs NAME and SOURCES")
    endif()
    add_executable(${T_NAME} ${T_SOURCES})
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main vorland_warnings)
    target_include_directories(${T_NAME} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
    set_target_properties(${T_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/tests)
    add_test(NAME ${T_NAME} COMMAND ${T_NAME})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 600)
    endif()
    # Run logs and states go to a folder of the test's own, and no run reaches the desktop's
    # notifications (tests that want a bus start their own).
    set_tests_properties(${T_NAME} PROPERTIES
        TIMEOUT ${T_TIMEOUT}
        ENVIRONMENT "TZ=${VORLAND_TEST_TZ};LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/sanitizers/lsan.supp:print_suppressions=0;VORLAND_BIN_DIR=${PROJECT_BINARY_DIR}/bin;VORLAND_SOURCE_DIR=${PROJECT_SOURCE_DIR};XDG_STATE_HOME=${PROJECT_BINARY_DIR}/tests/state/${T_NAME};DBUS_SESSION_BUS_ADDRESS=unix:path=${PROJECT_BINARY_DIR}/tests/no-session-bus;${T_ENV}")
    if(T_LABELS)
        set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}")
    endif()
endfunction()

# vorland_add_gui_test(NAME <name> SOURCES <files...> [LIBS ...] [LABELS ...] [TIMEOUT s] [ENV ...])
# A window test: links Qt Widgets and QTest besides the GUI library, runs on the offscreen platform
# with a settings folder of its own (XDG_CONFIG_HOME under the build tree), so no test reads or
# writes the user's settings.
function(vorland_add_gui_test)
    cmake_parse_arguments(G "" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS;ENV" ${ARGN})
    set(extra)
    if(G_TIMEOUT)
        list(APPEND extra TIMEOUT ${G_TIMEOUT})
    endif()
    if(G_LABELS)
        list(APPEND extra LABELS ${G_LABELS})
    endif()
    vorland_add_test(NAME ${G_NAME} SOURCES ${G_SOURCES}
                     LIBS vorland_gui Qt6::Widgets Qt6::Test ${G_LIBS}
                     ENV QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME=${PROJECT_BINARY_DIR}/tests/config/${G_NAME}
                         XDG_DATA_HOME=${PROJECT_BINARY_DIR}/tests/data/${G_NAME} ${G_ENV}
                     ${extra})
endfunction()
