// Checks a JSON document against the command's JSON Schemas, so that an input
// is refused with the path of the member that is wrong. The keywords the
// schemas use are understood: type, enum, const, properties, required,
// additionalProperties, items, minItems, maxItems, minimum, maximum,
// minLength, maxLength, pattern, allOf, anyOf, oneOf, if/then/else and $ref
// (to "#/$defs/NAME" of the same schema or "FILE#/$defs/NAME" of another one
// the checker holds). Other keywords (titles, descriptions) are ignored.
#pragma once
#include <nlohmann/json.hpp>

#include <map>
#include <optional>
#include <string>

namespace JsonSchema {
// The first member that breaks the schema: its path ("$.board.custom[1]")
// and what is wrong with it.
struct Problem {
    std::string path;
    std::string message;
};

class Checker {
  public:
    // Schemas by file name, as $ref names them ("show.schema.json").
    void Add(const std::string& file, nlohmann::json schema);
    // Checks doc against the schema node that ref names ("FILE#/$defs/NAME",
    // or "FILE" for the whole schema). Nothing when doc fits.
    std::optional<Problem> Check(const nlohmann::json& doc, const std::string& ref,
                                 const std::string& path = "$") const;

  private:
    struct Node {
        const nlohmann::json* schema;
        std::string file;
    };
    std::optional<Node> Resolve(const std::string& ref, const std::string& file) const;
    std::optional<Problem> Fits(const nlohmann::json& doc, const Node& node,
                                const std::string& path) const;
    std::optional<Problem> FitsObject(const nlohmann::json& doc, const Node& node,
                                      const std::string& path) const;
    std::optional<Problem> FitsCombined(const nlohmann::json& doc, const Node& node,
                                        const std::string& path) const;
    std::map<std::string, nlohmann::json> schemas;
};

// The path of a member of the object at path: "$.board" and "serial".
std::string Member(const std::string& path, const std::string& name);
// The path of an element of the array at path: "$.multirecord[2]".
std::string Element(const std::string& path, size_t index);
} // namespace JsonSchema
