# The Jet SQL translator and the SQL functions it calls, included by dao/CMakeLists.txt. An object
# library: its objects become part of ledrana_dao, whose error table (JetErrorText) they use, so programs
# and tests link ledrana_dao.
add_library(ledrana_jetsql OBJECT
    ${CMAKE_CURRENT_LIST_DIR}/jetsql.cpp
    ${CMAKE_CURRENT_LIST_DIR}/jetsql_expr.cpp
    ${CMAKE_CURRENT_LIST_DIR}/jetsql_lexer.cpp
    ${CMAKE_CURRENT_LIST_DIR}/jetsql_errors.cpp
    ${CMAKE_CURRENT_LIST_DIR}/functions.cpp
    ${CMAKE_CURRENT_LIST_DIR}/functions_sql_aggregates.cpp
    ${CMAKE_CURRENT_LIST_DIR}/functions_sql_casts.cpp
    ${CMAKE_CURRENT_LIST_DIR}/functions_sql_conversions.cpp
    ${CMAKE_CURRENT_LIST_DIR}/functions_sql_dates.cpp
    ${CMAKE_CURRENT_LIST_DIR}/functions_sql_math.cpp
    ${CMAKE_CURRENT_LIST_DIR}/functions_sql_operators.cpp
    ${CMAKE_CURRENT_LIST_DIR}/functions_sql_text.cpp
    ${CMAKE_CURRENT_LIST_DIR}/functions_convert.cpp
    ${CMAKE_CURRENT_LIST_DIR}/functions_format.cpp
    ${CMAKE_CURRENT_LIST_DIR}/functions_like.cpp
    ${CMAKE_CURRENT_LIST_DIR}/functions_sql_decimal.cpp
    ${CMAKE_CURRENT_LIST_DIR}/decimal.cpp)
target_include_directories(ledrana_jetsql PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(ledrana_jetsql PUBLIC ledrana_platform SQLite::SQLite3)
