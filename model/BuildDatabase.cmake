# Builds one model database from its manifest with daotool.
#   cmake -DDAOTOOL=path -DMANIFEST=file -DOUTPUT=file -DWORK=folder [-DWITH_DEMO=ON] -P BuildDatabase.cmake
# The steps of the manifest are described at the top of model/db/CONT32.manifest. The structure, the
# reference rows and (unless WITH_DEMO is OFF) the demo rows are joined into one script for
# "daotool create"; properties and saved queries follow one daotool call each. The database is written
# beside OUTPUT and renamed over it only when every step has worked.

cmake_minimum_required(VERSION 3.25)

if(NOT DEFINED WITH_DEMO)
    set(WITH_DEMO ON)
endif()
get_filename_component(dir "${MANIFEST}" DIRECTORY)
get_filename_component(name "${OUTPUT}" NAME)
file(MAKE_DIRECTORY "${WORK}")
set(script_file "${WORK}/${name}.sql")
set(partial "${WORK}/${name}.partial")
file(REMOVE "${partial}")

# A file's statements without its comment lines and without a final ";".
function(read_statements file out)
    file(READ "${dir}/${file}" text)
    string(REGEX REPLACE "(^|\n)[ \t]*--[^\n]*" "\\1" text "${text}")
    string(REGEX REPLACE "[ \t\r\n;]+$" "" text "${text}")
    set(${out} "${text}" PARENT_SCOPE)
endfunction()

# One daotool call. Arguments are passed one by one (an SQL text may hold semicolons).
function(daotool step a1 a2)
    if(ARGC EQUAL 3)
        execute_process(COMMAND "${DAOTOOL}" "${step}" "${a1}" "${a2}"
            RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
    elseif(ARGC EQUAL 4)
        execute_process(COMMAND "${DAOTOOL}" "${step}" "${a1}" "${a2}" "${ARGV3}"
            RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
    else()
        execute_process(COMMAND "${DAOTOOL}" "${step}" "${a1}" "${a2}" "${ARGV3}" "${ARGV4}"
            RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
    endif()
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "${name}: daotool ${step} ${a2} failed (${rc}): ${err}${out}")
    endif()
endfunction()

# Semicolons (and brackets) would upset CMake lists: the manifest is walked line by line as one text,
# with its semicolons held as a placeholder.
file(READ "${MANIFEST}" manifest)
string(REPLACE ";" "<semicolon>" manifest "${manifest}")
string(REPLACE "\r" "" manifest "${manifest}")
string(APPEND manifest "\n")

set(statements "")
set(count 0)
while(NOT manifest STREQUAL "")
    string(FIND "${manifest}" "\n" eol)
    string(SUBSTRING "${manifest}" 0 ${eol} line)
    math(EXPR eol "${eol} + 1")
    string(SUBSTRING "${manifest}" ${eol} -1 manifest)
    string(STRIP "${line}" line)
    if(line STREQUAL "" OR line MATCHES "^#")
        continue()
    endif()
    string(REGEX MATCH "^([a-z]+)[ \t]+(.*)$" _ "${line}")
    set(step "${CMAKE_MATCH_1}")
    set(rest "${CMAKE_MATCH_2}")
    if(step STREQUAL "create" OR step STREQUAL "script" OR (step STREQUAL "demo" AND WITH_DEMO))
        read_statements("${rest}" text)
        if(NOT statements STREQUAL "")
            string(APPEND statements ";\n")
        endif()
        string(APPEND statements "${text}")
    elseif(step STREQUAL "demo")
    elseif(step STREQUAL "property" OR step STREQUAL "querydef")
        math(EXPR count "${count} + 1")
        set(later_${count} "${line}")
    else()
        message(FATAL_ERROR "${MANIFEST}: unknown step: ${line}")
    endif()
endwhile()

string(REPLACE "<semicolon>" ";" statements "${statements}")
file(WRITE "${script_file}" "${statements}\n")
daotool(create "${partial}" "${script_file}")

if(count GREATER 0)
    foreach(i RANGE 1 ${count})
        set(line "${later_${i}}")
        if(line MATCHES "^property[ \t]+([^ \t]+)[ \t]+([^ \t]+)[ \t]+(.*)$")
            daotool(property "${partial}" "${CMAKE_MATCH_1}" "${CMAKE_MATCH_2}" "${CMAKE_MATCH_3}")
        elseif(line MATCHES "^querydef[ \t]+([^ \t]+)[ \t]+(.*)$")
            set(query "${CMAKE_MATCH_1}")
            string(REPLACE "<semicolon>" ";" sql "${CMAKE_MATCH_2}")
            daotool(querydef "${partial}" "${query}" "${sql}")
        endif()
    endforeach()
endif()

file(RENAME "${partial}" "${OUTPUT}")
