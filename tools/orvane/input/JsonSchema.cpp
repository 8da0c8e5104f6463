#include "input/JsonSchema.h"

#include "view/Text.h"
#include "view/Translate.h"

#include <algorithm>
#include <cstdint>
#include <regex>

namespace JsonSchema {
namespace {
using nlohmann::json;

// The schema's name of a value's type.
std::string TypeOf(const json& v) {
    if (v.is_null())
        return "null";
    if (v.is_boolean())
        return "boolean";
    if (v.is_number_integer() || v.is_number_unsigned())
        return "integer";
    if (v.is_number())
        return "number";
    if (v.is_string())
        return "string";
    return v.is_array() ? "array" : "object";
}

bool HasType(const json& v, const std::string& type) {
    const std::string actual = TypeOf(v);
    return actual == type || (type == "number" && actual == "integer");
}

// "a string", "a string or null": the types a value may have.
std::string Types(const json& type) {
    if (type.is_string())
        return type.get<std::string>();
    std::string text;
    for (size_t i = 0; i < type.size(); ++i)
        text += (i ? (i + 1 == type.size() ? _(" or ") : ", ") : "") + type[i].get<std::string>();
    return text;
}

std::optional<Problem> Fault(const std::string& path, std::string message) {
    return Problem{path, std::move(message)};
}

std::optional<Problem> FitsType(const json& doc, const json& s, const std::string& path) {
    if (!s.contains("type"))
        return std::nullopt;
    const json& type = s["type"];
    bool fits = false;
    if (type.is_string())
        fits = HasType(doc, type.get<std::string>());
    else
        for (const json& t : type)
            fits = fits || HasType(doc, t.get<std::string>());
    if (fits)
        return std::nullopt;
    return Fault(path,
                 Text::Format(_("must be %s, not %s"), Types(type).c_str(), TypeOf(doc).c_str()));
}

std::optional<Problem> FitsValue(const json& doc, const json& s, const std::string& path) {
    if (s.contains("const") && doc != s["const"])
        return Fault(path, Text::Format(_("must be %s"), s["const"].dump().c_str()));
    if (s.contains("enum")) {
        bool known = false;
        std::string list;
        for (const json& e : s["enum"]) {
            known = known || doc == e;
            list += (list.empty() ? "" : ", ") + e.dump();
        }
        if (!known)
            return Fault(path, Text::Format(_("must be one of %s"), list.c_str()));
    }
    if (doc.is_number()) {
        if (s.contains("minimum") && doc.get<double>() < s["minimum"].get<double>())
            return Fault(path, Text::Format(_("must be at least %s"), s["minimum"].dump().c_str()));
        if (s.contains("maximum") && doc.get<double>() > s["maximum"].get<double>())
            return Fault(path, Text::Format(_("must be at most %s"), s["maximum"].dump().c_str()));
    }
    if (doc.is_string()) {
        const std::string text = doc.get<std::string>();
        // Characters, not bytes: every UTF-8 byte but a continuation byte.
        const size_t length =
            static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) {
                return (static_cast<uint8_t>(c) & 0xC0) != 0x80;
            }));
        if (s.contains("minLength") && length < s["minLength"].get<size_t>())
            return Fault(path, Text::Format(_("must have at least %zu characters"),
                                            s["minLength"].get<size_t>()));
        if (s.contains("maxLength") && length > s["maxLength"].get<size_t>())
            return Fault(path, Text::Format(_("must have at most %zu characters"),
                                            s["maxLength"].get<size_t>()));
        if (s.contains("pattern") &&
            !std::regex_search(text, std::regex(s["pattern"].get<std::string>())))
            return Fault(
                path,
                s.contains("description")
                    ? Text::Format(_("must be %s"), s["description"].get<std::string>().c_str())
                    : Text::Format(_("must match %s"), s["pattern"].get<std::string>().c_str()));
    }
    return std::nullopt;
}
} // namespace

std::string Member(const std::string& path, const std::string& name) {
    return path + "." + name;
}

std::string Element(const std::string& path, size_t index) {
    return path + "[" + std::to_string(index) + "]";
}

void Checker::Add(const std::string& file, json schema) {
    schemas[file] = std::move(schema);
}

std::optional<Checker::Node> Checker::Resolve(const std::string& ref,
                                              const std::string& file) const {
    const size_t hash = ref.find('#');
    const std::string name = hash == 0 ? file : ref.substr(0, hash);
    const auto found = schemas.find(name);
    if (found == schemas.end())
        return std::nullopt;
    const json* node = &found->second;
    if (hash != std::string::npos && hash + 1 < ref.size()) {
        const json::json_pointer pointer(ref.substr(hash + 1));
        if (!node->contains(pointer))
            return std::nullopt;
        node = &(*node)[pointer];
    }
    return Node{node, name};
}

std::optional<Problem> Checker::Check(const json& doc, const std::string& ref,
                                      const std::string& path) const {
    const auto node = Resolve(ref, "");
    if (!node)
        return Problem{path, Text::Format(_("the schema %s is missing"), ref.c_str())};
    return Fits(doc, *node, path);
}

std::optional<Problem> Checker::Fits(const json& doc, const Node& node,
                                     const std::string& path) const {
    const json& s = *node.schema;
    if (s.is_boolean())
        return s.get<bool>() ? std::nullopt : Fault(path, _("is not expected here"));
    if (s.contains("$ref")) {
        const auto target = Resolve(s["$ref"].get<std::string>(), node.file);
        if (!target)
            return Fault(path, Text::Format(_("the schema %s is missing"),
                                            s["$ref"].get<std::string>().c_str()));
        if (auto p = Fits(doc, *target, path))
            return p;
    }
    if (auto p = FitsType(doc, s, path))
        return p;
    if (auto p = FitsValue(doc, s, path))
        return p;
    if (auto p = FitsObject(doc, node, path))
        return p;
    return FitsCombined(doc, node, path);
}

std::optional<Problem> Checker::FitsObject(const json& doc, const Node& node,
                                           const std::string& path) const {
    const json& s = *node.schema;
    if (doc.is_array()) {
        if (s.contains("minItems") && doc.size() < s["minItems"].get<size_t>())
            return Fault(path, Text::Format(_("must have at least %zu elements"),
                                            s["minItems"].get<size_t>()));
        if (s.contains("maxItems") && doc.size() > s["maxItems"].get<size_t>())
            return Fault(path, Text::Format(_("must have at most %zu elements"),
                                            s["maxItems"].get<size_t>()));
        if (s.contains("items"))
            for (size_t i = 0; i < doc.size(); ++i)
                if (auto p = Fits(doc[i], {&s["items"], node.file}, Element(path, i)))
                    return p;
    }
    if (!doc.is_object())
        return std::nullopt;
    if (s.contains("required"))
        for (const json& name : s["required"])
            if (!doc.contains(name.get<std::string>()))
                return Fault(Member(path, name.get<std::string>()), _("is missing"));
    const json empty = json::object();
    const json& properties = s.contains("properties") ? s["properties"] : empty;
    for (const auto& [name, value] : doc.items()) {
        const std::string at = Member(path, name);
        if (properties.contains(name)) {
            if (auto p = Fits(value, {&properties[name], node.file}, at))
                return p;
        } else if (s.contains("additionalProperties")) {
            const json& extra = s["additionalProperties"];
            if (extra.is_boolean() && !extra.get<bool>())
                return Fault(at, _("is not a member this object takes"));
            if (auto p = Fits(value, {&extra, node.file}, at))
                return p;
        }
    }
    return std::nullopt;
}

std::optional<Problem> Checker::FitsCombined(const json& doc, const Node& node,
                                             const std::string& path) const {
    const json& s = *node.schema;
    if (s.contains("allOf"))
        for (const json& sub : s["allOf"])
            if (auto p = Fits(doc, {&sub, node.file}, path))
                return p;
    if (s.contains("if")) {
        const bool holds = !Fits(doc, {&s["if"], node.file}, path);
        const char* branch = holds ? "then" : "else";
        if (s.contains(branch))
            if (auto p = Fits(doc, {&s[branch], node.file}, path))
                return p;
    }
    for (const char* keyword : {"anyOf", "oneOf"}) {
        if (!s.contains(keyword))
            continue;
        // The alternative that fits, else the problem of the one that got
        // furthest into the document (the longest path).
        std::optional<Problem> best;
        size_t fitting = 0;
        for (const json& sub : s[keyword]) {
            auto p = Fits(doc, {&sub, node.file}, path);
            if (!p)
                ++fitting;
            else if (!best || p->path.size() > best->path.size())
                best = p;
        }
        if (fitting == 0)
            return best;
        if (fitting > 1 && std::string(keyword) == "oneOf")
            return Fault(path, _("fits more than one of the forms it may take"));
    }
    return std::nullopt;
}
} // namespace JsonSchema
