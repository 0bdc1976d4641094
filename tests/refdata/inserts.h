#pragma once
// Rows written as Jet SQL: one INSERT statement per list of values.

#include <string>
#include <vector>

namespace ledrana::testing {

// `into` is "TABLE (field, ...)"; each item of `values` is what goes between the brackets of VALUES.
inline std::vector<std::string> Inserts(const std::string& into, const std::vector<std::string>& values) {
    std::vector<std::string> statements;
    for (const std::string& v : values)
        statements.push_back("INSERT INTO " + into + " VALUES (" + v + ")");
    return statements;
}

} // namespace ledrana::testing
