// daotool: creates, changes and prints databases through the engine.
//
//   daotool [--pwd PASSWORD] create FILE [SCRIPT]     new database; SCRIPT (a file, or SQL text) holds
//                                                     Jet SQL statements separated by ";"
//   daotool [--pwd PASSWORD] exec FILE SQL...         runs each statement
//   daotool [--pwd PASSWORD] query FILE SQL           prints the rows, tab-separated, under a header line;
//                                                     a Jet file is read through a temporary conversion
//   daotool [--pwd PASSWORD] query --json FILE SQL    prints each row as one JSON array (null, numbers,
//                                                     text; dates "YYYY-MM-DD HH:MM:SS")
//   daotool build MANIFEST FILE                      new database made by the steps of MANIFEST (the
//                                                     model databases of the release are built so)
//   daotool import SOURCE DESTINATION                 converts a Jet or ACE file into a new archive and
//                                                     prints one line per table with its rows; the notes
//                                                     and the journal of values kept in part on stderr
//   daotool [--pwd PASSWORD] querydef FILE NAME SQL   stores a saved query (replacing one of that name)
//   daotool [--pwd PASSWORD] property FILE TABLE NAME VALUE   sets or creates a text property of a table
//   daotool [--pwd PASSWORD] schema FILE              prints the structure, one line per object
//   daotool [--pwd PASSWORD] password FILE OLD NEW    changes the database password
//   daotool [--pwd PASSWORD] compact SOURCE DESTINATION
//   daotool [--pwd PASSWORD] hold FILE SECONDS        keeps the database open for that long, as the main
//                                                     program keeps an archive open; prints "holding FILE"
//                                                     once it has it
//
// Exit status 0 on success; 1 on an engine error (number and description on stderr); 2 on bad usage.

#include "dao/dao.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "tools/manifest/manifest.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace ledrana;
using namespace ledrana::dao;
using manifest::SplitStatements;

constexpr const char* kHelp =
    "usage: daotool [--pwd PASSWORD] COMMAND ...\n"
    "  create FILE [SCRIPT]         new database; SCRIPT (a file, or SQL text) holds Jet SQL statements\n"
    "                               separated by \";\"\n"
    "  exec FILE SQL...             runs each statement\n"
    "  query FILE SQL               prints the rows, tab-separated, under a header line\n"
    "  query --json FILE SQL        prints each row as one JSON array\n"
    "  build MANIFEST FILE          new database made by the steps of MANIFEST\n"
    "  import SOURCE DESTINATION    converts a Jet or ACE file into a new archive, one line per table\n"
    "  querydef FILE NAME SQL       stores a saved query (replacing one of that name)\n"
    "  property FILE TABLE NAME VALUE  sets or creates a text property of a table\n"
    "  schema FILE                  prints the structure, one line per object\n"
    "  password FILE OLD NEW        changes the database password\n"
    "  compact SOURCE DESTINATION   writes a compacted copy\n"
    "  hold FILE SECONDS            keeps the database open for that long, as the main program does\n"
    "  --pwd PASSWORD               the database password\n"
    "  -h, --help                   prints this text\n"
    "exit status: 0 done, 1 engine error (number and description on stderr), 2 wrong usage\n";

constexpr const char* kCommands[] = {"create",   "exec",   "query",    "build",   "import", "querydef",
                                     "property", "schema", "password", "compact", "hold"};

int Usage() {
    std::cerr << kHelp;
    return 2;
}

std::string ReadScript(const std::string& arg) {
    std::string win = !arg.empty() && arg[0] == '/' ? platform::WindowsPath(arg) : arg;
    if (arg.find('\n') == std::string::npos && platform::FileExists(win)) return platform::ReadAllBytes(win);
    return arg;
}

std::string Connect(const std::string& pwd, bool given) {
    return given ? ";pwd=" + pwd : std::string();
}

std::string Two(int v) {
    char b[8];
    std::snprintf(b, sizeof b, "%02d", v);
    return b;
}

std::string Escape(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == '\t')
            out += "\\t";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

std::string Cell(const Variant& v) {
    switch (v.kind()) {
    case Variant::Kind::Empty:
    case Variant::Kind::Null:
        return "NULL";
    case Variant::Kind::Boolean:
        return v.RawInteger() ? "-1" : "0";
    case Variant::Kind::Byte:
    case Variant::Kind::Integer:
    case Variant::Kind::Long:
        return std::to_string(v.RawInteger());
    case Variant::Kind::Currency:
    case Variant::Kind::Decimal:
        return v.ToString();
    case Variant::Kind::Single:
        return ShortestText(static_cast<float>(v.RawDouble()));
    case Variant::Kind::Double:
        return ShortestText(v.RawDouble());
    case Variant::Kind::Date: {
        DateParts p = SplitDate(v.RawDouble());
        std::string d = std::to_string(p.year) + "-" + Two(p.month) + "-" + Two(p.day);
        if (p.hour || p.minute || p.second)
            d += " " + Two(p.hour) + ":" + Two(p.minute) + ":" + Two(p.second);
        return d;
    }
    case Variant::Kind::String:
        return Escape(v.RawString());
    case Variant::Kind::Binary: {
        static const char* hex = "0123456789abcdef";
        std::string out = "0x";
        for (unsigned char c : v.RawString()) {
            out += hex[c >> 4];
            out += hex[c & 15];
        }
        return out;
    }
    }
    return {};
}

std::string JsonCell(const Variant& v) {
    switch (v.kind()) {
    case Variant::Kind::Empty:
    case Variant::Kind::Null:
        return "null";
    case Variant::Kind::String:
        return JsonString(v.RawString());
    case Variant::Kind::Binary:
        return JsonString(Cell(v));
    case Variant::Kind::Date: {
        DateParts p = SplitDate(v.RawDouble());
        return JsonString(std::to_string(p.year) + "-" + Two(p.month) + "-" + Two(p.day) + " " + Two(p.hour) +
                          ":" + Two(p.minute) + ":" + Two(p.second));
    }
    case Variant::Kind::Currency: {
        // Exact to the last of the four decimals.
        std::int64_t x = v.RawInteger();
        std::string sign = x < 0 ? "-" : "";
        std::uint64_t a = x < 0 ? 0 - static_cast<std::uint64_t>(x) : static_cast<std::uint64_t>(x);
        std::string frac = std::to_string(a % 10000);
        frac = std::string(4 - frac.size(), '0') + frac;
        while (!frac.empty() && frac.back() == '0')
            frac.pop_back();
        return sign + std::to_string(a / 10000) + (frac.empty() ? "" : "." + frac);
    }
    default: {
        std::string c = Cell(v);
        return c == "inf" || c == "-inf" || c == "nan" ? JsonString(c) : c;
    }
    }
}

void PrintJson(Database& db, const std::string& sql) {
    Recordset rs = db.OpenRecordset(sql);
    Fields fields = rs.Fields();
    int n = fields.Count();
    while (!rs.Eof()) {
        std::string line = "[";
        for (int i = 0; i < n; ++i)
            line += (i ? "," : "") + JsonCell(fields[i].Value());
        std::cout << line << "]\n";
        rs.MoveNext();
    }
    rs.Close();
}

bool LessNoCase(const std::string& a, const std::string& b) {
    std::string ua = UCase(a), ub = UCase(b);
    return ua != ub ? ua < ub : a < b;
}

// The members of a collection, sorted by name without regard to case.
template <class Collection> auto SortedByName(const Collection& items) {
    std::vector<std::decay_t<decltype(items[0])>> list;
    for (int i = 0; i < items.Count(); ++i)
        list.push_back(items[i]);
    std::sort(list.begin(), list.end(),
              [](const auto& a, const auto& b) { return LessNoCase(a.Name(), b.Name()); });
    return list;
}

void PrintSchema(Database& db) {
    std::vector<TableDef> list = SortedByName(db.TableDefs());
    std::erase_if(list, [](const TableDef& t) { return t.Attributes() != 0; });
    static const char* builtins[] = {"Name",        "Attributes", "Connect",        "SourceTableName",
                                     "RecordCount", "Updatable",  "ValidationRule", "ValidationText"};
    for (TableDef& t : list) {
        std::string line = "table " + t.Name() + " attributes=" + std::to_string(t.Attributes());
        Properties props = t.Properties();
        std::vector<std::pair<std::string, std::string>> user;
        for (int i = 0; i < props.Count(); ++i) {
            Property p = props[i];
            bool builtin = false;
            for (const char* b : builtins)
                if (EqualsNoCase(p.Name(), b)) builtin = true;
            if (builtin) continue;
            Variant v = p.Value();
            user.emplace_back(p.Name(), v.IsNull() ? "NULL" : Escape(v.ToString()));
        }
        std::sort(user.begin(), user.end(), [](auto& a, auto& b) { return LessNoCase(a.first, b.first); });
        for (auto& [n, v] : user)
            line += " " + n + "=" + v;
        std::cout << line << "\n";
        for (const Field& f : SortedByName(t.Fields()))
            std::cout << "field " << t.Name() << "." << f.Name() << " type=" << f.Type()
                      << " size=" << f.Size() << " attributes=" << f.Attributes()
                      << " allowzerolength=" << (f.AllowZeroLength() ? 1 : 0)
                      << " required=" << (f.Required() ? 1 : 0) << "\n";
        for (const Index& ix : SortedByName(t.Indexes())) {
            std::string names;
            Fields ixf = ix.Fields();
            for (int i = 0; i < ixf.Count(); ++i)
                names += (i ? "," : "") + ixf[i].Name();
            std::cout << "index " << t.Name() << "." << ix.Name() << " primary=" << (ix.Primary() ? 1 : 0)
                      << " unique=" << (ix.Unique() ? 1 : 0) << " fields=" << names << "\n";
        }
    }
    for (const QueryDef& q : SortedByName(db.QueryDefs())) {
        std::string sql;
        for (char c : q.SQL()) {
            if (c == '\r')
                sql += "\\r";
            else if (c == '\n')
                sql += "\\n";
            else
                sql += c;
        }
        std::cout << "query " << q.Name() << " sql=" << sql << "\n";
    }
}

void PrintQuery(Database& db, const std::string& sql) {
    Recordset rs = db.OpenRecordset(sql);
    Fields fields = rs.Fields();
    int n = fields.Count();
    std::string header;
    for (int i = 0; i < n; ++i)
        header += (i ? "\t" : "") + fields[i].Name();
    std::cout << header << "\n";
    while (!rs.Eof()) {
        std::string line;
        for (int i = 0; i < n; ++i)
            line += (i ? "\t" : "") + Cell(fields[i].Value());
        std::cout << line << "\n";
        rs.MoveNext();
    }
    rs.Close();
}

int Run(std::vector<std::string> args) {
    std::string pwd;
    bool pwdGiven = false;
    if (args.size() >= 2 && args[0] == "--pwd") {
        pwd = args[1];
        pwdGiven = true;
        args.erase(args.begin(), args.begin() + 2);
    }
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        std::cout << kHelp;
        return 0;
    }
    if (args.size() < 2 ||
        std::find(std::begin(kCommands), std::end(kCommands), args[0]) == std::end(kCommands))
        return Usage();
    const std::string cmd = args[0];
    const std::string file = args[1];
    DBEngine engine;
    if (cmd == "create") {
        if (args.size() > 3) return Usage();
        Database db = engine.CreateDatabase(file, Connect(pwd, pwdGiven));
        if (args.size() == 3)
            for (const auto& st : SplitStatements(ReadScript(args[2])))
                db.Execute(st);
        db.Close();
        return 0;
    }
    if (cmd == "build") {
        if (args.size() != 3) return Usage();
        manifest::BuildFromManifest(engine, file, args[2], true).Close();
        return 0;
    }
    if (cmd == "import") {
        if (args.size() != 3) return Usage();
        std::string source = engine.HostPath(file);
        JetImportReport report = ImportJetFile(engine, source, engine.HostPath(args[2]), file);
        for (const auto& t : report.tables)
            std::cout << t.name << "\t" << t.rows << "\n";
        for (const auto& note : report.notes)
            std::cerr << "nota: " << note << "\n";
        for (const auto& j : report.journal)
            std::cerr << "registro: " << j.table << "\t" << j.key << "\t" << j.field << "\t" << j.text
                      << "\n";
        return 0;
    }
    if (cmd == "query" && file == "--json") {
        if (args.size() != 4) return Usage();
        Database db = engine.OpenDatabase(args[2], false, IsJetFile(engine.HostPath(args[2])), ";pwd=" + pwd);
        PrintJson(db, args[3]);
        db.Close();
        return 0;
    }
    if (cmd == "compact") {
        if (args.size() != 3) return Usage();
        if (pwdGiven)
            engine.CompactDatabase(file, args[2], ";pwd=" + pwd);
        else
            engine.CompactDatabase(file, args[2]);
        return 0;
    }
    int seconds = 0;
    if (cmd == "hold") {
        const std::string& text = args.size() == 3 ? args[2] : std::string();
        auto r = std::from_chars(text.data(), text.data() + text.size(), seconds);
        if (text.empty() || r.ec != std::errc() || r.ptr != text.data() + text.size() || seconds < 0)
            return Usage();
    }
    // A query only reads: a Jet file is read through a temporary conversion and stays as it is.
    const bool readOnly = cmd == "query" && IsJetFile(engine.HostPath(file));
    Database db = engine.OpenDatabase(file, false, readOnly, ";pwd=" + pwd);
    if (cmd == "hold") {
        std::cout << "holding " << file << std::endl;
        std::this_thread::sleep_for(std::chrono::seconds(seconds));
    } else if (cmd == "exec") {
        if (args.size() < 3) return Usage();
        for (std::size_t i = 2; i < args.size(); ++i)
            for (const auto& st : SplitStatements(args[i]))
                db.Execute(st);
    } else if (cmd == "query") {
        if (args.size() != 3) return Usage();
        PrintQuery(db, args[2]);
    } else if (cmd == "querydef") {
        if (args.size() != 4) return Usage();
        QueryDefs qs = db.QueryDefs();
        for (int i = 0; i < qs.Count(); ++i)
            if (EqualsNoCase(qs[i].Name(), args[2])) {
                qs.Delete(args[2]);
                break;
            }
        db.CreateQueryDef(args[2], args[3]).Close();
    } else if (cmd == "property") {
        if (args.size() != 5) return Usage();
        TableDef t = db.TableDefs()[args[2]];
        Properties props = t.Properties();
        bool found = false;
        for (int i = 0; i < props.Count(); ++i)
            if (EqualsNoCase(props[i].Name(), args[3])) found = true;
        if (found)
            props[args[3]].SetValue(Variant(args[4]));
        else
            props.Append(t.CreateProperty(args[3], dbText, Variant(args[4])));
    } else if (cmd == "schema") {
        if (args.size() != 2) return Usage();
        PrintSchema(db);
    } else if (cmd == "password") {
        if (args.size() != 4) return Usage();
        db.NewPassword(args[2], args[3]);
    } else {
        return Usage();
    }
    db.Close();
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    try {
        return Run(std::move(args));
    } catch (const ledrana::Error& e) {
        std::cout.flush();
        std::cerr << e.number() << " " << e.description() << "\n";
        return 1;
    }
}
