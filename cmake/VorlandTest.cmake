# vorland_add_test(NAME <name> SOURCES <files...> [LIBS <targets...>] [LABELS <labels...>]
#                  [TIMEOUT <seconds>] [ENV <VAR=value...>])
# Builds one GoogleTest program and registers it with CTest as a single test. Every test program
# gets VORLAND_BIN_DIR (where the program and the engine are built) and VORLAND_SOURCE_DIR.
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
    set_tests_properties(${T_NAME} PROPERTIES
        TIMEOUT ${T_TIMEOUT}
        ENVIRONMENT "VORLAND_BIN_DIR=${PROJECT_BINARY_DIR}/bin;VORLAND_SOURCE_DIR=${PROJECT_SOURCE_DIR};${T_ENV}")
    if(T_LABELS)
        set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}")
    endif()
endfunction()
