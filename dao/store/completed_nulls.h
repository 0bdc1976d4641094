#pragma once
// Nulls completed when a table's values are stored rather than when the completion is asked for.

#include <cstdint>
#include <string>

namespace ledrana::dao {

// What TableDef::FillNulls gives for a field whose Nulls are completed at once but counted when the values
// are stored: by the compaction, or by the write that stores them first.
inline constexpr std::int64_t kNullsCountedLater = -2;

// The Nulls of a field completed with the values stored: how many, and of which table and field.
struct CompletedNulls {
    std::string table, field;
    std::int64_t count = 0;
};

} // namespace ledrana::dao
