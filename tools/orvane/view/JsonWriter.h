// The command's JSON documents: built as nlohmann::ordered_json (members in
// the order they are added) and written in the command's layout, where the
// document and each FRU put one member on a line, the lists of FRUs, areas,
// fields and records put one element on a line, and everything else stays on
// one line with ", " and ": " between its parts.
#pragma once
#include <nlohmann/json.hpp>

#include <set>
#include <string>

namespace JsonWriter {
using Value = nlohmann::ordered_json;

struct Layout {
    bool openDocument = true;     // the document's members one a line
    std::set<std::string> listed; // arrays under these names: one element a line
    std::set<std::string> blocks; // objects in arrays under these names: one member a line
    std::set<std::string> joined; // document members kept on the line of the one before
};

// The value on one line: {"a": 1, "b": [true, null]}. Strings are UTF-8 as
// they are, with quotes, backslashes and control characters escaped.
std::string Inline(const Value& value);
// The document in a layout, ending with a newline.
std::string Write(const Value& document, const Layout& layout);
} // namespace JsonWriter
