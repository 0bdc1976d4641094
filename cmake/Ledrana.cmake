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

# Writes ${CMAKE_BINARY_DIR}/layers-targets.txt for scripts/check-layers: one line per target built from our
# sources, "name<TAB>type<TAB>sources<TAB>linked targets", the sources relative to the repository and the
# lists separated by spaces. Called once every folder has made its targets.
function(ledrana_write_targets)
    set(out "")
    set(dirs ${PROJECT_SOURCE_DIR})
    while(dirs)
        list(POP_FRONT dirs dir)
        get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
        list(APPEND dirs ${subdirs})
        get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
        foreach(target IN LISTS targets)
            get_target_property(type ${target} TYPE)
            if(NOT type MATCHES "^(STATIC_LIBRARY|EXECUTABLE)$")
                continue()
            endif()
            get_target_property(sources ${target} SOURCES)
            get_target_property(libs ${target} LINK_LIBRARIES)
            if(NOT libs)
                set(libs "")
            endif()
            set(files "")
            foreach(source IN LISTS sources)
                cmake_path(ABSOLUTE_PATH source BASE_DIRECTORY ${dir} NORMALIZE OUTPUT_VARIABLE path)
                cmake_path(RELATIVE_PATH path BASE_DIRECTORY ${PROJECT_SOURCE_DIR})
                list(APPEND files ${path})
            endforeach()
            list(JOIN files " " files)
            list(JOIN libs " " libs)
            string(APPEND out "${target}\t${type}\t${files}\t${libs}\n")
        endforeach()
    endwhile()
    file(WRITE ${CMAKE_BINARY_DIR}/layers-targets.txt "${out}")
endfunction()
