#pragma once
// Reading Jet 3, Jet 4 and ACE files (the databases of the Windows engine) through libmdb.
//
// A file is recognised by its header page, never by its name. Before libmdb sees a file its header and
// size are checked, so that libmdb only ever reads pages that exist. Values are read from the raw row
// bytes (libmdb's own text conversions cut long values and format dates and numbers its own way): numbers
// keep their bits, Currency its ten-thousandths, dates their day number, Memo and OLE values are read
// whole, Jet 4 text (compressed or not) and Jet 3 text in the file's code page become UTF-8.
// Index definitions are read from the table definition pages directly: libmdb pairs an index with the
// wrong key columns when a table's indexes share or skip numbers, or after columns were deleted.
//
// Access 2010's calculated columns are read as their result type: each cell holds the value computed when
// the row was last written, behind a header of its own. Complex columns (attachments, multi-valued fields,
// the version history of append-only memos) hold a reference number; their values are the rows of a
// hidden table that carry it (Column::flatTable). A Date/Time Extended value becomes a Date holding the
// same instant where a Date can; its exact text comes with it when a Date cannot.
//
// libmdb writes its complaints on the standard error: while it works for us they are caught and become
// the detail of our own error instead.
//
// Errors are ledrana::Error with Jet's numbers and a description naming the file: 3343 not a Jet or ACE
// file (or a version we do not know), 3049 damaged or truncated, 3031 encrypted (its pages cannot be read
// without a key we do not have), 3024 missing file.

#include "dao/vb/variant.h"

#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ledrana::dao::jet {

struct Header {
    int version = 0;          // the byte at 0x14: 0 Jet 3, 1 Jet 4, 2.. ACE 12 and later
    std::size_t pageSize = 0; // 2048 for Jet 3, 4096 otherwise
    bool ace = false;         // "Standard ACE DB"
    std::uint32_t dbKey = 0;  // the page-encoding key (0 when the pages are plain)
    int codePage = 0;         // code page of Jet 3 text
};

// The header of a Jet or ACE file from its first bytes; nullopt when they are not one (any version byte
// is accepted here: a version we cannot read is refused later with 3343).
std::optional<Header> ParseHeader(std::string_view firstBytes);

// True when the file at this host path starts as a Jet or ACE file. Never throws.
bool LooksLikeJetFile(const std::string& hostPath);

// One value of a row, of one of Variant's kinds (never Empty).
struct Value {
    using Kind = Variant::Kind;
    Kind kind = Kind::Null;
    std::int64_t i = 0; // Boolean (-1/0), Byte, Integer, Long, Currency in ten-thousandths
    double d = 0;       // Single, Double, Date (days from 30 December 1899)
    std::string s; // String (UTF-8; a GUID as "{XXXXXXXX-XXXX-...}"), Binary (bytes), Decimal (exact text)
    // A Date/Time Extended value that a Date cannot hold as it is (below the second, or a year outside
    // 100..9999): its own text, "yyyy-mm-dd hh:mm:ss.fffffff". The Date holds it to the second, or is Null.
    std::string exact;
};

// The type code of ACE's Date/Time Extended columns (DAO has none: they are read as Date).
constexpr int kExtendedDate = 0x14;

// A Date/Time Extended value from its stored bytes (see Value::exact). False when they are not one.
bool ReadExtendedDate(std::string_view stored, Value& v);

// The bytes of an attachment as the user stored them, from the FileData value that holds them (a header,
// then the bytes, deflated for the types Access compresses). nullopt when the value is not in that form.
std::optional<std::string> AttachmentBytes(std::string_view stored);

struct Column {
    std::string name;
    int jetType = 0; // libmdb's type codes, which are DAO's for 1-12 and 15; 16 Decimal, 18 complex
    int size = 0;    // Text and Binary: in characters / bytes as DAO counts them
    int precision = 0, scale = 0;
    bool fixed = false;
    bool counter = false;    // a Long AutoNumber
    bool guidAuto = false;   // a GUID filled in by the engine
    bool calculated = false; // values computed from the Expression property; jetType is the result's type
    std::string flatTable;   // a complex column: the hidden table holding its values ("" when not found)
    std::vector<std::pair<std::string, std::string>> properties; // name, value as text; sorted by name
};

struct IndexInfo {
    std::string name;
    std::vector<std::pair<int, bool>> fields; // column position, descending
    bool primary = false, unique = false, ignoreNulls = false, required = false;
    bool foreign = false; // the index of a relationship
};

struct TableInfo {
    std::string name;
    std::vector<Column> columns; // in the table's order
    std::vector<IndexInfo> indexes;
    std::vector<std::pair<std::string, std::string>> properties;
    std::int64_t declaredRows = 0; // the row count the table definition holds
};

struct LinkedTable {
    std::string name;
    std::string connect;     // the connect text as DAO gives it (";DATABASE=path" for a Jet file)
    std::string foreignName; // the table in the linked database
};

class File {
public:
    // Opens a Jet or ACE file for reading. shownName is the name used in error descriptions.
    File(const std::string& hostPath, const std::string& shownName);
    ~File();
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    const Header& header() const { return header_; }
    const std::string& headerPage() const { return headerPage_; }
    // libmdb's handle (an MdbHandle*), for the readers of saved queries.
    void* handle() const { return mdb_; }

    std::vector<std::string> LocalTables() const; // user tables, in catalog order
    std::vector<LinkedTable> LinkedTables() const;
    TableInfo ReadTable(const std::string& name) const;
    // Calls onRow with the values of every row, in the table's column order. Returns the rows read.
    // 3049 when a page or a long value cannot be read.
    std::int64_t ForEachRow(const std::string& name,
                            const std::function<void(const std::vector<Value>&)>& onRow) const;

    // The error for this file: number 3343, 3049 or 3031 with `what` in the description, and what libmdb
    // said meanwhile, if anything.
    [[noreturn]] void Fail(int number, const std::string& what) const;

    // While one lives, what libmdb writes on the standard error is kept for the file's errors instead.
    class Quiet {
    public:
        explicit Quiet(const File& file);
        ~Quiet();
        Quiet(const Quiet&) = delete;
        Quiet& operator=(const Quiet&) = delete;

    private:
        const File& file_;
    };

private:
    std::int64_t RowsOf(void* table, const std::string& name,
                        const std::function<void(const std::vector<Value>&)>& onRow) const;
    // The bytes of a table's definition, over all its pages; its indexes read from them.
    std::string TableDefinition(void* table) const;
    std::vector<IndexInfo> ReadIndexes(void* table) const;
    // Refuses (3049) a catalog whose object properties libmdb would read outside their bounds.
    void CheckObjectProperties();
    // Per column of a table, in libmdb's order: the extra flags and the complex id of its definition.
    std::vector<std::pair<int, std::uint32_t>> ColumnFlags(void* table) const;
    // The name of the hidden table holding the values of the complex column with this id ("" if none).
    std::string FlatTableOf(std::uint32_t complexId) const;

    std::string shown_;
    Header header_;
    std::string headerPage_;
    void* mdb_ = nullptr;
    // The standard error while libmdb works: the file its messages go to, and the one it stands for.
    mutable int quietDepth_ = 0;
    mutable int savedStderr_ = -1;
    mutable std::FILE* sink_ = nullptr;
    std::string Said() const; // what libmdb wrote since the outermost Quiet began
    mutable std::vector<std::pair<std::uint32_t, std::string>> flatTables_;
    mutable bool flatTablesRead_ = false;
};

} // namespace ledrana::dao::jet
