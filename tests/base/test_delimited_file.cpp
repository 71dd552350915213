#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "base/DelimitedFile.h"
#include "tests/support/TempTree.h"

namespace {

using Columns = std::vector<std::pair<std::string, std::vector<std::string>>>;

// Every column's values as text; "!" plus the error text when the read fails.
Columns ReadAll(const TempTree& tree, const std::string& content, const std::string& delim = ",") {
    tree.Write("config/t.csv", content);
    CDelimitedFile f;
    f.SetDelimiter(delim);
    if (!f.ReadFile("..\\config\\t.csv", READ_AS_STRING))
        return {{"!" + f.GetErrorText(), {}}};
    Columns out;
    // By name, as callers do: a repeated header reads the first column of that name.
    for (const std::string& name : f.Headers()) {
        std::vector<std::string> values;
        std::string v;
        for (long row = 0; f.GetString(name, row, v) >= 0; ++row)
            values.push_back(v);
        out.emplace_back(name, values);
    }
    return out;
}

class DelimitedFileTest : public testing::Test {
  protected:
    TempTree tree;
};

}  // namespace

TEST_F(DelimitedFileTest, GroupsOfHeaderCountFields) {
    struct Case {
        const char* name;
        std::string content;
        std::string delim;
        Columns expected;
    };
    const std::vector<Case> cases = {
        {"plain",
         "a,b,c\n1,2,3\n4,5,6\n",
         ",",
         {{"a", {"1", "4"}}, {"b", {"2", "5"}}, {"c", {"3", "6"}}}},
        {"country header",
         "Code Langue KSO;ID_COUNTRY\nfr;PAYFR\n",
         ";",
         {{"Code Langue KSO", {"fr"}}, {"ID_COUNTRY", {"PAYFR"}}}},
        {"first character of the delimiter", "a;b\n1;2\n", ";,", {{"a", {"1"}}, {"b", {"2"}}}},
        // A short row lets its last field run into the next line, which then shifts.
        {"short row", "a,b,c\n1,2\n3,4,5\n", ",", {{"a", {"1"}}, {"b", {"2\n3"}}, {"c", {"4,5"}}}},
        // A field that begins with a line feed is not stored.
        {"blank line", "a,b\n1,2\n\n3,4\n", ",", {{"a", {"1"}}, {"b", {"2", "4"}}}},
        {"extra fields stay in the last", "a,b\n1,2,3\n", ",", {{"a", {"1"}}, {"b", {"2,3"}}}},
        {"CR LF", "a,b\r\n1,2\r\n", ",", {{"a", {"1"}}, {"b", {"2"}}}},
        {"lone CR kept", "a,b\n1,2\r3\n", ",", {{"a", {"1"}}, {"b", {"2\r3"}}}},
        {"no final line feed", "a,b\n1,2", ",", {{"a", {"1"}}, {"b", {"2"}}}},
        {"partial group at the end",
         "a,b,c\n1,2,3\n4,",
         ",",
         {{"a", {"1", "4"}}, {"b", {"2"}}, {"c", {"3"}}}},
        {"empty fields", "a,b,c\n,,\n", ",", {{"a", {""}}, {"b", {""}}, {"c", {""}}}},
        {"one column", "a\n1\n\n2\n", ",", {{"a", {"1", "", "2"}}}},
        {"header only", "a,b\n", ",", {{"a", {}}, {"b", {}}}},
        {"repeated empty names", ",\n1,2\n", ",", {{"", {"1"}}, {"", {"1"}}}},
        {"bytes as they are",
         std::string("a,b\n\xff\x01,\0z\n", 10),
         ",",
         {{"a", {"\xff\x01"}}, {"b", {std::string("\0z", 2)}}}},
    };
    for (const Case& c : cases) {
        Columns got = ReadAll(tree, c.content, c.delim);
        EXPECT_EQ(got, c.expected) << c.name;
    }
}

TEST_F(DelimitedFileTest, QueriesAndTheirErrors) {
    tree.Write("config/t.csv", "Name,Value,Name\nx,1.5,y\nz, 2e3,w\nq,abc,r\n");
    CDelimitedFile s;
    ASSERT_TRUE(s.ReadFile("..\\config\\t.csv", READ_AS_STRING));
    std::string out = "untouched";
    // Two columns with the same header: the first one answers.
    EXPECT_EQ(s.GetString("Name", 1, out), 1);
    EXPECT_EQ(out, "z");
    EXPECT_EQ(s.GetString("Nope", 0, out), -1);
    EXPECT_EQ(s.GetErrorText(), kDelimitedFileErrors[5]);
    EXPECT_EQ(s.GetString("Name", 3, out), -1);
    EXPECT_EQ(s.GetErrorText(), "invalid vector<T> subscript");
    EXPECT_EQ(s.GetString("Name", -1, out), -1);
    EXPECT_EQ(s.GetErrorText(), "invalid vector<T> subscript");
    s.GetData("Value", 0);
    EXPECT_EQ(s.GetErrorText(),
              "ERROR 0004: GetData() was called while the dwReadFlags was not RF_READ_AS_DOUBLE.");
    s.Clear();
    EXPECT_EQ(s.GetErrorText(), "");
    EXPECT_TRUE(s.Headers().empty());

    CDelimitedFile d(RF_READ_AS_DOUBLE);
    ASSERT_TRUE(d.ReadFile("..\\config\\t.csv", RF_READ_AS_DOUBLE | READ_AS_STRING));
    EXPECT_DOUBLE_EQ(d.GetData("Value", 0), 1.5);
    EXPECT_DOUBLE_EQ(d.GetData("Value", 1), 2000.0);
    EXPECT_DOUBLE_EQ(d.GetData("Value", 2), 0.0);  // not a number
    EXPECT_EQ(d.GetData("Value", 3), 0.0);
    EXPECT_EQ(d.GetErrorText(), "invalid vector<T> subscript");

    ASSERT_TRUE(d.ReadFile("..\\config\\t.csv", RF_READ_AS_DOUBLE));
    EXPECT_EQ(d.GetString("Value", 0, out), -1);
    EXPECT_EQ(d.GetErrorText(),
              "ERROR 0003: GetString() was called while the dwReadFlags was not READ_AS_STRING.");

    // Neither value flag: the file is read, nothing is kept.
    ASSERT_TRUE(d.ReadFile("..\\config\\t.csv", 0));
    EXPECT_EQ(d.Headers().size(), 3u);
    EXPECT_EQ(d.ValueCount(0), 0u);
}

TEST_F(DelimitedFileTest, AppendKeepsEachColumnsFile) {
    tree.Write("config/a.csv", "a,b\n1,2\n");
    tree.Write("config/b.csv", "c\n3\n");
    tree.Write("config/n.csv", "n\n4.5\n");
    CDelimitedFile f;
    ASSERT_TRUE(f.ReadFile("..\\config\\a.csv", READ_AS_STRING));
    ASSERT_TRUE(f.ReadFile("..\\config\\b.csv", READ_AS_STRING | RF_APPEND_DATA));
    EXPECT_EQ(f.Headers(), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(f.ColumnFiles(), (std::vector<std::string>{"..\\config\\a.csv", "..\\config\\a.csv",
                                                         "..\\config\\b.csv"}));
    std::string out;
    EXPECT_EQ(f.GetString("c", 0, out), 1);
    EXPECT_EQ(out, "3");
    EXPECT_EQ(f.GetString("a", 0, out), 1);
    EXPECT_EQ(out, "1");
    std::vector<std::string> headers;
    EXPECT_EQ(f.GetColumnsOfFile("..\\config\\a.csv", headers), 2);
    EXPECT_EQ(headers, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(f.GetColumnsOfFile("..\\config\\none.csv", headers), -1);
    EXPECT_EQ(f.GetErrorText(), "ERROR 0006: Filename name not found!");

    // Numbers appended to text columns land in their own column, not in an earlier one.
    ASSERT_TRUE(f.ReadFile("..\\config\\n.csv", RF_READ_AS_DOUBLE | RF_APPEND_DATA));
    EXPECT_DOUBLE_EQ(f.GetData("n", 0), 4.5);
    EXPECT_EQ(f.Headers().size(), 4u);

    // A failed append drops only its own columns; a missing file changes nothing.
    tree.Write("config/bad.csv", "x,y\n" + std::string(2000, 'v') + ",1\n");
    EXPECT_FALSE(f.ReadFile("..\\config\\bad.csv", READ_AS_STRING | RF_APPEND_DATA));
    EXPECT_FALSE(f.ReadFile("..\\config\\missing.csv", READ_AS_STRING));
    EXPECT_EQ(f.Headers().size(), 4u);

    // Without the flag the table starts again.
    ASSERT_TRUE(f.ReadFile("..\\config\\b.csv", READ_AS_STRING));
    EXPECT_EQ(f.Headers(), (std::vector<std::string>{"c"}));
}

TEST_F(DelimitedFileTest, BadFilesFailWithAReason) {
    auto errorOf = [&](const std::string& content) {
        tree.Write("config/t.csv", content);
        CDelimitedFile f;
        bool ok = f.ReadFile("..\\config\\t.csv", READ_AS_STRING);
        EXPECT_TRUE(ok || f.Headers().empty());
        return ok ? std::string() : f.GetErrorText();
    };
    const std::string where = "\nDetails: ..\\config\\t.csv";
    EXPECT_EQ(errorOf("a,b"), kDelimitedFileErrors[10] + where);
    EXPECT_EQ(errorOf(""), kDelimitedFileErrors[10] + where);
    EXPECT_EQ(errorOf("a\n" + std::string(1023, 'x') + "\n"), "");
    EXPECT_EQ(errorOf("a\n" + std::string(1024, 'x') + "\n"),
              kDelimitedFileErrors[9] + where + ", line 2");
    EXPECT_EQ(errorOf(std::string(1024, 'h') + "\n"), kDelimitedFileErrors[9] + where + ", line 1");
    // A 10 MB line, with and without delimiters.
    EXPECT_EQ(errorOf("a,b\n" + std::string(10 << 20, 'z') + "\n"),
              kDelimitedFileErrors[9] + where + ", line 2");
    EXPECT_EQ(errorOf(std::string(70000, ',') + "\n"), kDelimitedFileErrors[11] + where);
    std::string garbage;
    for (int i = 0; i < (1 << 20); ++i)
        garbage.push_back(static_cast<char>((i * 2654435761u) >> 24));
    errorOf(garbage);  // anything but a crash
    errorOf("a,b\n" + std::string(3 << 20, ','));

    CDelimitedFile f;
    EXPECT_FALSE(f.ReadFile("..\\config\\missing.csv", READ_AS_STRING));
    EXPECT_EQ(f.GetErrorText(), "ERROR 0007: File not found!\nDetails: ..\\config\\missing.csv");
    EXPECT_FALSE(f.ReadFile("..\\config", READ_AS_STRING));
    EXPECT_EQ(f.GetErrorText(), "ERROR 0007: File not found!\nDetails: ..\\config");
}

TEST_F(DelimitedFileTest, DemoCountryTable) {
    CDelimitedFile f;
    f.SetDelimiter(";");
    ASSERT_TRUE(f.ReadFile(DIST_DIR "/config/KSOCountries.csv", READ_AS_STRING));
    std::string code, id;
    ASSERT_EQ(f.GetString("Code Langue KSO", 0, code), 2);
    ASSERT_EQ(f.GetString("ID_COUNTRY", 0, id), 5);
}

TEST_F(DelimitedFileTest, SurvivesRandomInput) {
    std::mt19937 rng(5);
    const char alphabet[] = {',', ';', '\n', '\r', 'a', '1', '.', '\0', '\xff', ' '};
    CDelimitedFile f;
    for (int i = 0; i < 500; ++i) {
        std::string content;
        for (size_t n = rng() % 300; n > 0; --n)
            content.push_back(alphabet[rng() % sizeof alphabet]);
        tree.Write("config/r.csv", content);
        f.ReadFile("..\\config\\r.csv", rng() % 8);
        ASSERT_EQ(f.Headers().size(), f.ColumnFiles().size());
        std::string out;
        for (const std::string& name : f.Headers()) {
            for (long row = -1; row < 4; ++row) {
                f.GetString(name, row, out);
                f.GetData(name, row);
            }
        }
    }
}
