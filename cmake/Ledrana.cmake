include(GoogleTest)

# ledrana_library(NAME SOURCES files... LIBS libs...)
# A layer's library; its headers are included as "folder/file.h" from the repository root.
function(ledrana_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_LIBS})
endfunction()

# ledrana_test(NAME SOURCES files... LIBS libs... [GUI])
# One GoogleTest program per suite. Tests are discovered when ctest runs, not at build time.
# Test programs get LEDRANA_SOURCE_DIR and LEDRANA_BINARY_DIR as compile definitions so they can find
# the repository's files and the build tree.
function(ledrana_test name)
    cmake_parse_arguments(ARG "GUI" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
    target_compile_definitions(${name} PRIVATE
        LEDRANA_SOURCE_DIR="${PROJECT_SOURCE_DIR}" LEDRANA_BINARY_DIR="${CMAKE_BINARY_DIR}")
    set(env "")
    if(ARG_GUI)
        set(env "QT_QPA_PLATFORM=offscreen")
    endif()
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
        PROPERTIES ENVIRONMENT "${env}" TIMEOUT 600)
endfunction()
