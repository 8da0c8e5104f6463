// The command's JSON layout: what scripts and people read of show, scan and
// props, and what the schema validates.
#include "view/JsonWriter.h"

#include <gtest/gtest.h>

namespace {
using JsonWriter::Value;

TEST(JsonWriterTest, WritesValuesOnOneLine) {
    struct Case {
        Value value;
        const char* text;
    } const cases[] = {
        {Value::object(), "{}"},
        {Value::array(), "[]"},
        {{{"a", 1}, {"b", {true, nullptr, -2}}}, R"({"a": 1, "b": [true, null, -2]})"},
        // Quotes, backslashes and control characters are escaped; UTF-8 and
        // DEL stay as they are.
        {"q\"b\\n\n\x1b\x7f Grüße €", R"("q\"b\\n\n\u001B)"
                                      "\x7f Grüße €\""},
        {{{"z", 1}, {"a", 2}}, R"({"z": 1, "a": 2})"}, // members in the order added
    };
    for (const auto& c : cases)
        EXPECT_EQ(JsonWriter::Inline(c.value), c.text);
}

TEST(JsonWriterTest, LaysOutDocuments) {
    const JsonWriter::Layout layout{true, {"frus", "areas"}, {"frus"}, {"late"}};
    const Value document = {
        {"frus",
         {{{"name", "A"}, {"address", {{"bus", 0}}}, {"areas", {{{"kind", "board"}}}}},
          {{"areas", Value::array()}}}},
        {"early", {1, 2}},
        {"late", "x"}};
    EXPECT_EQ(JsonWriter::Write(document, layout), R"({
  "frus": [
    {
      "name": "A",
      "address": {"bus": 0},
      "areas": [
        {"kind": "board"}
      ]
    },
    {
      "areas": []
    }
  ],
  "early": [1, 2], "late": "x"
}
)");
    EXPECT_EQ(JsonWriter::Write({{"a", 1}}, {false, {}, {}, {}}), "{\"a\": 1}\n");
}
} // namespace
