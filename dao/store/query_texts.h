#pragma once
// The SQL texts of queries as a connection runs them (query_texts.cpp).

#include "dao/sql/jetsql.h"
#include "dao/store/connection.h"
#include "dao/store/sqlite_handle.h"

#include <string>
#include <string_view>

namespace ledrana::dao::detail {

// A text without the blanks around it and its closing ';'.
std::string_view TrimSql(std::string_view s);
// True when the text starts with an upper-cased word, followed by a blank or nothing.
bool StartsWithWord(std::string_view s, std::string_view word);
// The translation of a query's Jet text, kept by the connection for the texts of the same shape.
JetStatement TranslateQuery(Connection& c, std::string_view jetSql);
// A statement of the text from the connection's pool, with its integers bound; `key` is where it goes back.
Stmt PooledQuery(Connection& c, const std::string& sql, std::string& key);
// Adds to a statement the typed output columns of the saved queries it reads.
void AddSavedQueryTypes(Connection& c, JetStatement& st);

} // namespace ledrana::dao::detail
