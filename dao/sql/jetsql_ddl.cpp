// Jet SQL statements that change the structure (CREATE, ALTER, DROP) and Jet's names of data types.

#include "dao/sql/jetsql_parser.h"
#include "dao/vb/constants.h"
#include "platform/text.h"

namespace ledrana::dao::jetsql {

// Jet DDL type names and their DAO types. INTEGER is Long in Jet.
const TypeName kTypes[] = {
    {"TEXT", dbText, false, true},
    {"CHAR", dbText, false, true},
    {"CHARACTER", dbText, false, true},
    {"VARCHAR", dbText, false, true},
    {"ALPHANUMERIC", dbText, false, true},
    {"STRING", dbText, false, true},
    {"NCHAR", dbText, false, true},
    {"NVARCHAR", dbText, false, true},
    {"MEMO", dbMemo, false, false},
    {"LONGTEXT", dbMemo, false, false},
    {"LONGCHAR", dbMemo, false, false},
    {"NOTE", dbMemo, false, false},
    {"NTEXT", dbMemo, false, false},
    {"BYTE", dbByte, false, false},
    {"INTEGER1", dbByte, false, false},
    {"TINYINT", dbByte, false, false},
    {"SHORT", dbInteger, false, false},
    {"SMALLINT", dbInteger, false, false},
    {"INTEGER2", dbInteger, false, false},
    {"INTEGER", dbLong, false, false},
    {"INT", dbLong, false, false},
    {"LONG", dbLong, false, false},
    {"INTEGER4", dbLong, false, false},
    {"SINGLE", dbSingle, false, false},
    {"REAL", dbSingle, false, false},
    {"FLOAT4", dbSingle, false, false},
    {"IEEESINGLE", dbSingle, false, false},
    {"DOUBLE", dbDouble, false, false},
    {"FLOAT", dbDouble, false, false},
    {"FLOAT8", dbDouble, false, false},
    {"IEEEDOUBLE", dbDouble, false, false},
    {"NUMBER", dbDouble, false, false},
    {"NUMERIC", dbDouble, false, false},
    {"DECIMAL", dbDecimal, false, false},
    {"DEC", dbDecimal, false, false},
    {"CURRENCY", dbCurrency, false, false},
    {"MONEY", dbCurrency, false, false},
    {"DATETIME", dbDate, false, false},
    {"DATE", dbDate, false, false},
    {"TIME", dbDate, false, false},
    {"TIMESTAMP", dbDate, false, false},
    {"YESNO", dbBoolean, false, false},
    {"BIT", dbBoolean, false, false},
    {"LOGICAL", dbBoolean, false, false},
    {"LOGICAL1", dbBoolean, false, false},
    {"BOOLEAN", dbBoolean, false, false},
    {"COUNTER", dbLong, true, false},
    {"AUTOINCREMENT", dbLong, true, false},
    {"IDENTITY", dbLong, true, false},
    {"BINARY", dbBinary, false, true},
    {"VARBINARY", dbBinary, false, true},
    {"LONGBINARY", dbLongBinary, false, false},
    {"OLEOBJECT", dbLongBinary, false, false},
    {"GENERAL", dbLongBinary, false, false},
    {"IMAGE", dbLongBinary, false, false},
    {"GUID", dbGUID, false, false},
    {"UNIQUEIDENTIFIER", dbGUID, false, false},
    {"VALUE", 0, false, false},
};

const TypeName* FindType(std::string_view name) {
    for (const TypeName& t : kTypes)
        if (EqualsNoCase(name, t.name)) return &t;
    return nullptr;
}

std::vector<std::string> Parser::ParseNameList(std::vector<bool>* descending) {
    std::vector<std::string> names;
    ExpectOp("(");
    while (true) {
        names.push_back(ReadName());
        bool desc = false;
        if (AcceptKeyword("DESC"))
            desc = true;
        else
            AcceptKeyword("ASC");
        if (descending) descending->push_back(desc);
        if (AcceptOp(")")) break;
        ExpectOp(",");
    }
    return names;
}

JetColumnDef Parser::ParseColumnDef(std::vector<JetIndexDef>& indexes, const std::string& table) {
    int saved = statementError_;
    JetColumnDef c;
    c.name = ReadName();
    statementError_ = 3292;
    if (Peek().kind != Tok::Name) Fail();
    const TypeName* type = FindType(Next().text);
    if (!type || type->type == 0) Fail();
    c.type = type->type;
    c.counter = type->counter;
    if (c.type == dbText) c.size = 255;
    if (type->counter && AcceptOp("(")) { // AUTOINCREMENT(seed, increment)
        for (int k = 0; k < 2; ++k) {
            if (Peek().kind != Tok::Number) Fail();
            Next();
            if (k == 0) ExpectOp(",");
        }
        ExpectOp(")");
    } else if (type->sized && AcceptOp("(")) {
        if (Peek().kind != Tok::Number || Peek().text.find_first_not_of("0123456789") != std::string::npos)
            Fail();
        long n = std::strtol(Next().text.c_str(), nullptr, 10);
        if (n < 1 || n > 255) Fail();
        c.size = static_cast<int>(n);
        ExpectOp(")");
    } else if (c.type == dbBinary) {
        c.size = 255;
    } else if (c.type == dbDecimal && AcceptOp("(")) { // DECIMAL(precision[, scale])
        for (int k = 0; k < 2; ++k) {
            if (Peek().kind != Tok::Number ||
                Peek().text.find_first_not_of("0123456789") != std::string::npos)
                Fail();
            const long n = std::strtol(Next().text.c_str(), nullptr, 10);
            if (k == 0 && (n < 1 || n > 28)) Fail();
            if (k == 1 && n > c.precision) Fail();
            (k == 0 ? c.precision : c.scale) = static_cast<int>(n);
            if (k == 0 && !AcceptOp(",")) break;
        }
        ExpectOp(")");
    }
    while (true) {
        if (AtKeyword("NOT") && AtKeyword("NULL", 1)) {
            Next();
            Next();
            c.notNull = true;
        } else if (AcceptKeyword("NULL")) {
        } else if (AcceptKeyword("DEFAULT")) {
            const Token& t = Next();
            if (t.kind == Tok::Op && t.text == "-" && Peek().kind == Tok::Number)
                c.defaultValue = "-" + Next().text;
            else if (t.kind == Tok::Number || t.kind == Tok::Name)
                c.defaultValue = t.text;
            else if (t.kind == Tok::String)
                c.defaultValue = "\"" + t.text + "\"";
            else if (t.kind == Tok::Date)
                c.defaultValue = std::string(sql_.substr(t.begin, t.end - t.begin));
            else
                Fail();
        } else if (AtKeyword("WITH") && (AtKeyword("COMPRESSION", 1) || AtKeyword("COMP", 1))) {
            Next();
            Next();
        } else if (AtKeyword("CONSTRAINT") || AtKeyword("PRIMARY") || AtKeyword("UNIQUE") ||
                   AtKeyword("REFERENCES")) {
            statementError_ = 3289;
            JetIndexDef index;
            const ConstraintHead head = ParseConstraintHead(index, table);
            if (head == ConstraintHead::Other) {
                if (AtKeyword("NOT") && AtKeyword("NULL", 1)) {
                    Next();
                    Next();
                    c.notNull = true;
                } else if (AcceptKeyword("REFERENCES")) {
                    ReadName(); // relations are not kept
                    if (AtOp("(")) ParseNameList(nullptr);
                } else {
                    Fail();
                }
                statementError_ = 3292;
                continue;
            }
            if (index.name.empty()) index.name = c.name; // an unnamed UNIQUE takes the column's name
            index.fields.push_back(c.name);
            index.descending.push_back(false);
            indexes.push_back(std::move(index));
            statementError_ = 3292;
        } else {
            break;
        }
    }
    statementError_ = saved;
    return c;
}

Parser::ConstraintHead Parser::ParseConstraintHead(JetIndexDef& index, const std::string& table) {
    index.table = table;
    if (AcceptKeyword("CONSTRAINT")) index.name = ReadName();
    if (AcceptKeyword("PRIMARY")) {
        ExpectKeyword("KEY");
        index.primary = index.unique = index.required = true;
        if (index.name.empty()) index.name = "PrimaryKey";
        return ConstraintHead::PrimaryKey;
    }
    if (AcceptKeyword("UNIQUE")) {
        index.unique = true;
        return ConstraintHead::Unique;
    }
    return ConstraintHead::Other;
}

JetIndexDef Parser::ParseTableConstraint(const std::string& table) {
    int saved = statementError_;
    statementError_ = 3289;
    JetIndexDef index;
    if (ParseConstraintHead(index, table) == ConstraintHead::Other) {
        if (!AcceptKeyword("FOREIGN")) Fail();
        ExpectKeyword("KEY");
        ParseNameList(nullptr);
        ExpectKeyword("REFERENCES");
        ReadName();
        if (AtOp("(")) ParseNameList(nullptr);
        statementError_ = saved;
        return index; // no fields: relations are not kept
    }
    const bool named = !index.name.empty(); // an unnamed UNIQUE takes its first field's name
    index.fields = ParseNameList(&index.descending);
    if (!named) index.name = index.fields[0];
    statementError_ = saved;
    return index;
}

void Parser::ParseCreate() {
    Next();
    if (AcceptKeyword("TABLE")) {
        st_.kind = JetStatement::Kind::CreateTable;
        statementError_ = 3290;
        st_.table = ReadName();
        ExpectOp("(");
        while (true) {
            if (AtKeyword("CONSTRAINT") || AtKeyword("PRIMARY") || AtKeyword("UNIQUE") ||
                AtKeyword("FOREIGN")) {
                JetIndexDef index = ParseTableConstraint(st_.table);
                if (!index.fields.empty()) st_.indexes.push_back(std::move(index));
            } else {
                st_.columnDefs.push_back(ParseColumnDef(st_.indexes, st_.table));
            }
            if (AcceptOp(")")) break;
            ExpectOp(",");
        }
        if (st_.columnDefs.empty()) Fail();
        ExpectStatementEnd();
        return;
    }
    statementError_ = 3291;
    JetIndexDef index;
    if (AcceptKeyword("UNIQUE")) index.unique = true;
    if (!AcceptKeyword("INDEX")) throw SqlError(3129);
    st_.kind = JetStatement::Kind::CreateIndex;
    index.name = ReadName();
    ExpectKeyword("ON");
    index.table = st_.table = ReadName();
    index.fields = ParseNameList(&index.descending);
    if (AcceptKeyword("WITH")) {
        while (true) {
            if (AcceptKeyword("PRIMARY")) {
                index.primary = index.unique = index.required = true;
            } else if (AtKeyword("DISALLOW") && AtKeyword("NULL", 1)) {
                Next();
                Next();
                index.required = true;
            } else if (AtKeyword("IGNORE") && AtKeyword("NULL", 1)) {
                Next();
                Next();
                index.ignoreNulls = true;
            } else {
                break;
            }
        }
        if (!index.primary && !index.required && !index.ignoreNulls) Fail();
    }
    st_.indexes.push_back(std::move(index));
    ExpectStatementEnd();
}

void Parser::ParseAlter() {
    statementError_ = 3293;
    Next();
    ExpectKeyword("TABLE");
    st_.table = ReadName();
    if (AcceptKeyword("ADD")) {
        if (AtKeyword("CONSTRAINT") || AtKeyword("PRIMARY") || AtKeyword("UNIQUE") || AtKeyword("FOREIGN")) {
            // ALTER TABLE T ADD CONSTRAINT ... is an index on existing fields.
            st_.kind = JetStatement::Kind::CreateIndex;
            JetIndexDef index = ParseTableConstraint(st_.table);
            if (index.fields.empty()) Fail();
            st_.indexes.push_back(std::move(index));
        } else {
            st_.kind = JetStatement::Kind::AlterAddColumn;
            AcceptKeyword("COLUMN");
            st_.columnDefs.push_back(ParseColumnDef(st_.indexes, st_.table));
        }
    } else if (AcceptKeyword("ALTER")) {
        st_.kind = JetStatement::Kind::AlterColumn;
        AcceptKeyword("COLUMN");
        std::vector<JetIndexDef> indexes;
        st_.columnDefs.push_back(ParseColumnDef(indexes, st_.table));
        if (!indexes.empty()) Fail();
    } else if (AcceptKeyword("DROP")) {
        if (AcceptKeyword("CONSTRAINT")) {
            st_.kind = JetStatement::Kind::DropIndex;
            st_.indexName = ReadName();
        } else {
            st_.kind = JetStatement::Kind::AlterDropColumn;
            AcceptKeyword("COLUMN");
            st_.column = ReadName();
        }
    } else {
        Fail();
    }
    ExpectStatementEnd();
}

void Parser::ParseDrop() {
    statementError_ = 3295;
    Next();
    if (AcceptKeyword("TABLE")) {
        st_.kind = JetStatement::Kind::DropTable;
        st_.table = ReadName();
    } else if (AcceptKeyword("INDEX")) {
        st_.kind = JetStatement::Kind::DropIndex;
        st_.indexName = ReadName();
        ExpectKeyword("ON");
        st_.table = ReadName();
    } else {
        Fail();
    }
    ExpectStatementEnd();
}

} // namespace ledrana::dao::jetsql
