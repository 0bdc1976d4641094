// The SQL functions with VB's semantics, reached through translated Jet expressions, and the field casts
// the engine wraps values in.

#include <gtest/gtest.h>

#include "tests/dao/jet_test_db.h"

namespace ledrana::dao {
namespace {

using testing::TestDb;

// The value of a Jet expression, or of SQLite's own with `jet` false ("null", a number, 'text'), or "error
// N".
std::string Eval(TestDb& db, const std::string& expr, bool jet = true) {
    try {
        return jet ? db.Select("SELECT " + expr + " AS X") : db.Query("SELECT " + expr);
    } catch (const Error& e) {
        return "error " + std::to_string(e.number());
    }
}

// Each expression against the value it gives.
void Check(std::initializer_list<std::pair<const char*, const char*>> cases) {
    TestDb db;
    for (const auto& [expr, expected] : cases)
        EXPECT_EQ(Eval(db, expr), expected) << expr;
}

TEST(VbFunctions, GiveVbsValuesAndErrorNumbers) {
    Check({
        // Conversions.
        {"CStr(1.5)", "'1.5'"},
        {"CStr(0.1 + 0.2)", "'0.3'"},
        {"CStr(1E+20)", "'1E+20'"},
        {"CStr(0.00001)", "'1E-05'"},
        {"CStr(-2)", "'-2'"},
        {"CStr(Null)", "error 94"},
        {"CLng(2.5)", "2"},
        {"CLng(3.5)", "4"},
        {"CLng(-2.5)", "-2"},
        {"CLng(' 3,5 ')", "4"},
        {"CLng('1.5')", "2"},
        {"CLng('abc')", "error 13"},
        {"CLng(3000000000)", "error 6"},
        {"CInt(40000)", "error 6"},
        {"CInt(-32768)", "-32768"},
        {"CByte(256)", "error 6"},
        {"CByte(-0.4)", "0"},
        {"CDbl('1,25')", "1.25"},
        {"CDbl('1e3')", "1000"},
        {"CDbl('&H1F')", "31"},
        {"CDbl('&HFFFF')", "-1"},
        {"CDbl('')", "error 13"},
        {"CCur(1.23456)", "1.2346"},
        {"CSng(1.1)", "1.10000002384186"},
        {"CDate('15/03/2020')", "43905"},
        {"CDate('2020-03-15 12:00')", "43905.5"},
        {"CDate('12/25/2020')", "44190"},
        {"CDate('13/25/2020')", "error 13"},
        {"CDate('10.30')", "0.4375"},
        {"CDate(43905)", "43905"},
        {"CBool('True')", "-1"},
        {"CBool('false')", "0"},
        {"CBool(5)", "-1"},
        {"CBool('x')", "error 13"},
        {"Val('12abc')", "12"},
        {"Val(' 1 2 . 5')", "12.5"},
        {"Val('1,5')", "1"},
        {"Val('&H10')", "16"},
        {"Val('')", "0"},
        {"Val('-3e2x')", "-300"},
        {"Val(Null)", "error 94"},
        {"IsNumeric('1,5')", "-1"},
        {"IsNumeric('x')", "0"},
        {"IsDate('31/12/2020')", "-1"},
        // Text.
        {"Left('abcdef', 2)", "'ab'"},
        {"Right('abcdef', 2)", "'ef'"},
        {"Mid('abcdef', 2, 3)", "'bcd'"},
        {"Mid('abcdef', 5)", "'ef'"},
        {"Mid('abc', 5)", "''"},
        {"Mid('abc', 0)", "error 5"},
        {"Left('àèìò', 2)", "'àè'"},
        {"Right('àèìò', 1)", "'ò'"},
        {"Len('àèì')", "3"},
        {"Len(12.5)", "4"},
        {"Len(Null)", "null"},
        {"Left(Null, 2)", "null"},
        {"Left('a', -1)", "error 5"},
        {"Trim('  a b  ')", "'a b'"},
        {"LTrim('  a ')", "'a '"},
        {"RTrim(' a  ')", "' a'"},
        {"UCase('perché')", "'PERCHÉ'"},
        {"LCase('ÀB')", "'àb'"},
        {"InStr('abcabc', 'C')", "3"},
        {"InStr(4, 'abcabc', 'c')", "6"},
        {"InStr(1, 'abc', 'C', 0)", "0"},
        {"InStr('abc', '')", "1"},
        {"InStr('àbc', 'C')", "3"},
        {"InStr(Null, 'a')", "null"},
        {"InStrRev('abcabc', 'b')", "5"},
        {"Replace('aXbxc', 'x', '-')", "'a-b-c'"},
        {"Space(3)", "'   '"},
        {"String(3, 'xy')", "'xxx'"},
        {"StrComp('a', 'A')", "0"},
        {"StrComp('a', 'B', 0)", "1"},
        {"StrReverse('àbc')", "'cbà'"},
        {"Chr(128)", "'€'"},
        {"Asc('€')", "128"},
        {"Str(5)", "' 5'"},
        {"Hex(255)", "'FF'"},
        // Dates.
        {"Year(#3/15/2020 10:30#)", "2020"},
        {"Month(#3/15/2020 10:30#)", "3"},
        {"Day(#3/15/2020 10:30#)", "15"},
        {"Hour(#3/15/2020 10:30#)", "10"},
        {"Minute(#3/15/2020 10:30#)", "30"},
        {"Weekday(#3/15/2020#)", "1"},
        {"Year('15/03/2020')", "2020"},
        {"Year(Null)", "null"},
        {"Year('abc')", "error 13"},
        {"Day(#12/29/1899 06:00#)", "29"},
        {"DateSerial(2020, 14, 1)", "44228"},
        {"DateSerial(2020, 3, 0)", "43890"},
        {"DateAdd('m', 1, #1/31/2020#)", "43890"},
        {"DateAdd('d', -1, #1/1/2020#)", "43830"},
        {"DateAdd('h', 36, #1/1/2020#)", "43832.5"},
        {"DateDiff('d', #1/1/2020#, #3/15/2020#)", "74"},
        {"DateDiff('m', #1/31/2020#, #2/1/2020#)", "1"},
        {"DateDiff('yyyy', #12/31/2019#, #1/1/2020#)", "1"},
        {"DatePart('q', #5/1/2020#)", "2"},
        {"TimeSerial(12, 30, 0)", "0.520833333333333"},
        {"DateValue(#3/15/2020 10:30#)", "43905"},
        {"Date() = Int(Now())", "-1"},
        {"Year(Date()) >= 2024", "-1"},
        // Format, in the Italian settings.
        {"Format(#3/15/2020 9:05:07#, 'dd/mm/yyyy hh:nn:ss')", "'15/03/2020 09.05.07'"},
        {"Format(#3/15/2020#, 'dddd d mmmm yyyy')", "'domenica 15 marzo 2020'"},
        {"Format(#3/15/2020#, 'Short Date')", "'15/03/2020'"},
        {"Format(#3/15/2020#, 'Long Date')", "'domenica 15 marzo 2020'"},
        {"Format(#3/15/2020#, 'ddd dd-mmm-yy')", "'dom 15-mar-20'"},
        {"Format(#3/15/2020 15:00#, 'h AM/PM')", "'3 PM'"},
        {"Format(#3/15/2020 15:04#, 'hh:mm')", "'15.04'"},
        {"Format('2020-03-15', 'yyyy')", "'2020'"},
        {"Format(Year(#3/15/2020#), '0000')", "'2020'"},
        {"Format(1234.5, '#,##0.00')", "'1.234,50'"},
        {"Format(0.5, '0.00%')", "'50,00%'"},
        {"Format(-3, '0;(0)')", "'(3)'"},
        {"Format(0, '0;-0;\"zero\"')", "'zero'"},
        {"Format(1234.5, 'Standard')", "'1.234,50'"},
        {"Format(1234.5, 'Currency')", "'€ 1.234,50'"},
        {"Format(1234.5, 'Fixed')", "'1234,50'"},
        {"Format(12345, '0.00E+00')", "'1,23E+04'"},
        {"Format(5, '000')", "'005'"},
        {"Format(2.5, '0')", "'3'"},
        {"Format(0.25, '#.##')", "',25'"},
        {"Format(-0.001, '0.00')", "'0,00'"},
        {"Format(1, 'Yes/No')", "'Sì'"},
        {"Format(1.5)", "'1.5'"},
        {"Format('abc', '>')", "'ABC'"},
        {"Format('abc', '@@@@@')", "'  abc'"},
        {"Format(Null, '0')", "null"},
        {"Format(CDec('12345678901234567890.125'), '#,##0.00')", "'12.345.678.901.234.567.890,13'"},
        // Operators and arithmetic.
        {"'a' & Null & 1.5", "'a1.5'"},
        {"Null & Null", "null"},
        {"'1' + '2'", "'12'"},
        {"'1' + 2", "3"},
        {"1 + Null", "null"},
        {"10 Mod 3", "1"},
        {"-7 Mod 3", "-1"},
        {"5.5 Mod 2", "0"},
        {"7 \\ 2", "3"},
        {"-7 \\ 2", "-3"},
        {"5.5 \\ 2", "3"},
        {"1 / 0", "error 11"},
        {"10 Mod 0", "error 11"},
        {"Null Mod 2", "null"},
        {"IIf(Null, 1, 2)", "2"},
        {"Nz(Null, 'x')", "'x'"},
        {"Abs(-3)", "3"},
        {"Int(-2.5)", "-3"},
        {"Fix(-2.5)", "-2"},
        {"Round(2.5)", "2"},
        {"Round(1.2345, 2)", "1.23"},
        {"Sgn(-0.1)", "-1"},
        {"Sqr(-1)", "error 5"},
        // Decimal: exact, 28 digits.
        {"CDec('0.1') + 0.2", "'0.3'"},
        {"CDec(1) / 3", "'0.3333333333333333333333333333'"},
        {"-CDec('2.5') * 2", "'-5'"},
        {"CDec('10') > 9.5", "-1"},
        {"CDec(1) / 0", "error 11"},
        {"CDec('79228162514264337593543950335') + 1", "error 6"},
        {"CDec('abc')", "error 13"},
        {"CDec(Null)", "error 94"},
    });
}

// jet_cast(value, type, size[, fromType]) as the engine writes a value into a field.
TEST(FieldCast, ConvertsOrGivesNull) {
    struct CastCase {
        const char* args;
        const char* loose;  // jet_cast
        const char* strict; // jet_cast_strict
    } cases[] = {
        {"'12', 4, 0", "12", "12"},
        {"'abc', 4, 0", "null", "error 3421"},
        {"3.5, 3, 0", "4", "4"},
        {"40000, 3, 0", "null", "error 3349"},
        {"2.5, 2, 0", "2", "2"},
        {"-1, 2, 0", "null", "error 3349"},
        {"'1,5', 7, 0", "1.5", "1.5"},
        {"5, 7, 0", "5", "5"},
        {"1e300, 6, 0", "null", "error 3349"},
        {"1.23456, 5, 0", "1.2346", "1.2346"},
        {"'abcdef', 10, 3", "'abc'", "error 3163"},
        {"'àèìò', 10, 2", "'àè'", "error 3163"},
        {"'àè', 10, 2", "'àè'", "'àè'"},
        {"'abcdef', 12, 3", "'abcdef'", "'abcdef'"},
        {"1.5, 10, 0", "'1.5'", "'1.5'"},
        {"12, 10, 50", "'12'", "'12'"},
        {"43905.5, 10, 50, 8", "'15/03/2020 12.00.00'", "'15/03/2020 12.00.00'"},
        {"-1, 10, 50, 1", "'True'", "'True'"},
        {"'15/03/2020', 8, 0", "43905", "43905"},
        {"'x', 8, 0", "null", "error 3421"},
        {"1, 1, 0", "-1", "-1"},
        {"'False', 1, 0", "0", "0"},
        {"'{a0b1c2d3-e4f5-a6b7-c8d9-e0f1a2b3c4d5}', 15, 0", "'{A0B1C2D3-E4F5-A6B7-C8D9-E0F1A2B3C4D5}'",
         "'{A0B1C2D3-E4F5-A6B7-C8D9-E0F1A2B3C4D5}'"},
        {"'nope', 15, 0", "null", "error 3421"},
        {"NULL, 4, 0", "null", "null"},
        {"x'0102', 4, 0", "null", "error 3421"},
        {"'abc', 9, 2", "'ab'", "error 3163"},
        {"'2,5', 3, 0", "2", "2"},
        // Decimal(18, 2): size is precision * 256 + scale.
        {"'1.235', 20, 4610", "'1.24'", "'1.24'"},
        {"1e17, 20, 4610", "null", "error 3349"},
        {"'x', 20, 4610", "null", "error 3421"},
    };
    TestDb db;
    // Blobs render as text in this suite; the Binary case checks the cut only.
    for (const CastCase& c : cases) {
        EXPECT_EQ(Eval(db, std::string("jet_cast(") + c.args + ")", false), c.loose) << c.args;
        EXPECT_EQ(Eval(db, std::string("jet_cast_strict(") + c.args + ")", false), c.strict) << c.args;
    }
}

TEST(FunctionErrors, MessagesComeBackAsErrors) {
    auto e = vb::FunctionError("13 Tipo non corrispondente");
    ASSERT_TRUE(e.has_value());
    EXPECT_EQ(e->number(), 13);
    EXPECT_EQ(e->description(), "Tipo non corrispondente");
    EXPECT_FALSE(vb::FunctionError("no such column: x").has_value());
    EXPECT_FALSE(vb::FunctionError("1").has_value());
}

} // namespace
} // namespace ledrana::dao
