// The language file format: field splitting and trimming, the column for a
// system, reading the table, and the lookup.
#include "ui/lang_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
std::vector<std::string> Items(const CTextArray& array)
{
    std::vector<std::string> items;
    for (int i = 0; i < array.GetCount(); ++i) items.emplace_back(array.GetAt(i));
    return items;
}

// A table read from the given file content.
struct Table {
    bool read = false;
    CTextArray keys, values;
};

Table ReadTable(const std::string& content, const char* column)
{
    Table table;
    std::FILE* file = std::tmpfile();
    if (!file) return table;
    std::fwrite(content.data(), 1, content.size(), file);
    std::rewind(file);
    table.read = ReadLanguageTable(file, column, table.keys, table.values);
    std::fclose(file);
    return table;
}
}  // namespace

TEST(TextArray, OwnsCopiesAndAnswersNullOutsideItsRange)
{
    CTextArray array;
    char text[] = "first";
    array.Add(text);
    text[0] = 'X';
    array.Add("second");
    EXPECT_EQ(array.GetCount(), 2);
    EXPECT_STREQ(array.GetAt(0), "first");
    EXPECT_STREQ(array.GetAt(1), "second");
    EXPECT_EQ(array.GetAt(2), nullptr);
    EXPECT_EQ(array.GetAt(-1), nullptr);
    array.RemoveAll();
    EXPECT_EQ(array.GetCount(), 0);
    EXPECT_EQ(array.GetAt(0), nullptr);
}

TEST(TrimField, RemovesWhiteSpaceAroundAndOnePairOfQuotes)
{
    struct Case {
        const char* field;
        bool stripQuotes;
        const char* expected;
    } cases[] = {
        {" \t abc def \r\n", true, "abc def"},
        {"\v\f\r\n \t", true, ""},
        {"", true, ""},
        {"\"quoted\"", true, "quoted"},
        {" \"quoted\"\t", true, "quoted"},
        {"\"quoted\"", false, "\"quoted\""},
        {"\"\"", true, ""},
        {"\"", true, "\""},
        {"\"open", true, "\"open"},
        {"a\"b\"", true, "a\"b\""},
        {"\"\"x\"\"", true, "\"x\""},
        {"\" inner blanks stay \"", true, " inner blanks stay "},
        {"\xA0word\xA0", true, "\xA0word\xA0"},  // bytes above 127 are never white space
    };
    std::string out = "old";
    for (const Case& c : cases) {
        TrimField(out, c.field, c.stripQuotes);
        EXPECT_EQ(out, c.expected) << "field [" << c.field << "]";
    }
}

TEST(SplitFields, SplitsAtTheSeparatorOutsideQuotes)
{
    struct Case {
        const char* line;
        std::vector<std::string> fields;
    } cases[] = {
        {"a\tb\tc", {"a", "b", "c"}},
        {"", {""}},
        {"a\t", {"a", ""}},
        {"\t\t", {"", "", ""}},
        {" key \t value \n", {"key", "value"}},
        {"\"with\ttab\"\tz", {"with\ttab", "z"}},
        {"a\"b\tc\"d\te", {"a\"b\tc\"d", "e"}},
        {"\"never closed\tx", {"\"never closed\tx"}},
        {"\"Do you want to proceed\"\t\"\xC2\xFB \"", {"Do you want to proceed", "\xC2\xFB "}},
    };
    for (const Case& c : cases) {
        CTextArray fields;
        EXPECT_TRUE(SplitFields(c.line, fields, '\t', true));
        EXPECT_EQ(Items(fields), c.fields) << "line [" << c.line << "]";
    }
}

TEST(SplitFields, AppendsUnlessToldToClearAndTakesAnySeparator)
{
    CTextArray fields;
    fields.Add("kept");
    EXPECT_TRUE(SplitFields("a,b", fields, ',', false));
    EXPECT_EQ(Items(fields), (std::vector<std::string>{"kept", "a", "b"}));
    EXPECT_TRUE(SplitFields("c\td", fields, ',', true));
    EXPECT_EQ(Items(fields), (std::vector<std::string>{"c\td"}));
}

TEST(SplitFields, RefusesAFieldLongerThanTheFormatAllows)
{
    std::string longest(kMaxLangFieldLength, 'x');
    CTextArray fields;
    EXPECT_TRUE(SplitFields(("k\t" + longest).c_str(), fields, '\t', true));
    EXPECT_EQ(Items(fields), (std::vector<std::string>{"k", longest}));

    // One character more: the whole line is refused, nothing is appended.
    fields.Add("before");
    EXPECT_FALSE(SplitFields(("k\t" + longest + "y\tz").c_str(), fields, '\t', false));
    EXPECT_EQ(Items(fields), (std::vector<std::string>{"k", longest, "before"}));
}

TEST(LanguageColumnKey, NamesLanguageAndCodePage)
{
    struct Case {
        const char* name;
        unsigned codePage;
        bool wanted;
        const char* key;
    } cases[] = {
        {"English", 1252, false, ""},
        {"English", 1250, true, "English, 1250"},
        {"english", 1252, true, "english, 1252"},
        {"Russian", 1251, true, "Russian, 1251"},
        {"Chinese", 936, true, "Chinese, 936"},
        {"Chinese (Traditional)", 950, true, "Chinese, 950"},
        {"Simplified Chinese", 936, true, "Chinese, 936"},
        {"chinese", 950, true, "chinese, 950"},
        {"", 1252, true, ", 1252"},
    };
    for (const Case& c : cases) {
        std::string key;
        EXPECT_EQ(LanguageColumnKey(c.name, c.codePage, key), c.wanted) << c.name;
        if (c.wanted) {
            EXPECT_EQ(key, c.key);
        }
    }
}

TEST(ReadLanguageTable, TakesUsableTranslationsOfTheChosenColumn)
{
    Table table = ReadTable(
        "Key\tGerman, 1252\tRussian, 1251\r\n"
        "Yes\tJa\tDa\r\n"
        "No\tNein\r\n"                           // no field for the column
        "OK\tOK\t\r\n"                           // empty translation
        "Restart later\tSpaeter\t;not yet\r\n"   // commented out
        "\"Total\tCleanup\"\tx\t\"Vsyo\tochistit\"\r\n"
        "Yes\tJa\tSecond\r\n"                    // duplicate key: kept, but the first wins
        "no\tnein\tNet\r\n"                      // lower-case key
        "\r\n"
        "\"UnInstall\" \t \t  \"Udalenie\"  ",   // last line without a line end
        "Russian, 1251");
    ASSERT_TRUE(table.read);
    EXPECT_EQ(Items(table.keys), (std::vector<std::string>{"Yes", "Total\tCleanup", "Yes", "no", "UnInstall"}));
    EXPECT_EQ(Items(table.values), (std::vector<std::string>{"Da", "Vsyo\tochistit", "Second", "Net", "Udalenie"}));

    EXPECT_STREQ(FindTranslation(table.keys, table.values, "Yes"), "Da");
    EXPECT_STREQ(FindTranslation(table.keys, table.values, "NO"), "Net");
    EXPECT_STREQ(FindTranslation(table.keys, table.values, "uninstall"), "Udalenie");
    EXPECT_STREQ(FindTranslation(table.keys, table.values, "total\tcleanup"), "Vsyo\tochistit");
    EXPECT_EQ(FindTranslation(table.keys, table.values, "OK"), nullptr);
    EXPECT_EQ(FindTranslation(table.keys, table.values, "Restart later"), nullptr);
    EXPECT_EQ(FindTranslation(table.keys, table.values, "Yes "), nullptr);
    EXPECT_EQ(FindTranslation(table.keys, table.values, nullptr), nullptr);
}

TEST(ReadLanguageTable, MatchesTheHeaderExactlyAndNeedsOne)
{
    const char* rows = "Yes\tDa\n";
    struct Case {
        std::string content;
        const char* column;
        bool read;
    } cases[] = {
        {std::string("Key\tRussian, 1251\n") + rows, "Russian, 1251", true},
        {std::string("Key\t \"Russian, 1251\" \n") + rows, "Russian, 1251", true},
        {std::string("Key\trussian, 1251\n") + rows, "Russian, 1251", false},
        {std::string("Key\tRussian,1251\n") + rows, "Russian, 1251", false},
        {std::string("Key\tRussian, 1251\n") + rows, "Russian, 866", false},
        {"", "Russian, 1251", false},
        {"Key\tRussian, 1251", "Russian, 1251", true},  // a header alone: read, no rows
    };
    for (const Case& c : cases) {
        Table table = ReadTable(c.content, c.column);
        EXPECT_EQ(table.read, c.read) << c.content << " / " << c.column;
        if (!c.read) {
            EXPECT_EQ(table.keys.GetCount(), 0);
        }
    }
}

TEST(ReadLanguageTable, SkipsRowsBeyondTheLineAndFieldLimits)
{
    // Lines made of short fields, so that only the line length matters.
    auto lineOfLength = [](const char* key, size_t length) {
        std::string line = std::string(key) + "\tx\tDa";
        while (line.size() < length) line += line.size() % 400 == 0 ? '\t' : ' ';
        return line;
    };
    std::string longestLine = lineOfLength("Longest", kMaxLangLineLength);
    std::string tooLongLine = lineOfLength("TooLong", kMaxLangLineLength + 1);
    std::string tooLongField = "WideField\t" + std::string(kMaxLangFieldLength + 1, 'x') + "\tDa";

    Table table = ReadTable("Key\tGerman, 1252\tRussian, 1251\n" + longestLine + "\n" + tooLongLine + "\n" +
                                tooLongField + "\nAfter\tx\tNet\n",
                            "Russian, 1251");
    ASSERT_TRUE(table.read);
    // The over-long line is dropped whole: none of its pieces turns into a row.
    EXPECT_EQ(Items(table.keys), (std::vector<std::string>{"Longest", "After"}));
    EXPECT_EQ(Items(table.values), (std::vector<std::string>{"Da", "Net"}));

    std::string longHeader = "Key\t" + std::string(kMaxLangLineLength, ' ') + "\tRussian, 1251\nYes\tx\tDa\n";
    EXPECT_FALSE(ReadTable(longHeader, "Russian, 1251").read);
}

TEST(FindTranslation, IgnoresOnlyAsciiCase)
{
    CTextArray keys, values;
    keys.Add("Caf\xC9");  // upper-case E acute in code page 1252
    values.Add("cafe");
    keys.Add("Restart Later");
    values.Add("first");
    keys.Add("restart later");
    values.Add("second");
    EXPECT_STREQ(FindTranslation(keys, values, "RESTART LATER"), "first");
    EXPECT_STREQ(FindTranslation(keys, values, "CAF\xC9"), "cafe");
    EXPECT_EQ(FindTranslation(keys, values, "caf\xE9"), nullptr);
    EXPECT_EQ(FindTranslation(keys, values, "Restart"), nullptr);
}
