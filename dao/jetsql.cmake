# The Jet SQL translator and the SQL functions it calls: included by dao/CMakeLists.txt, which links
# ledrana_jetsql into the engine.
ledrana_library(ledrana_jetsql SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/jetsql.cpp
    ${CMAKE_CURRENT_LIST_DIR}/jetsql_expr.cpp
    ${CMAKE_CURRENT_LIST_DIR}/jetsql_lexer.cpp
    ${CMAKE_CURRENT_LIST_DIR}/jetsql_errors.cpp
    ${CMAKE_CURRENT_LIST_DIR}/functions.cpp
    ${CMAKE_CURRENT_LIST_DIR}/functions_convert.cpp
    ${CMAKE_CURRENT_LIST_DIR}/functions_format.cpp
    ${CMAKE_CURRENT_LIST_DIR}/functions_like.cpp
    LIBS SQLite::SQLite3)
