#include "view/JsonWriter.h"

#include "view/Text.h"

namespace JsonWriter {
namespace {
struct Writer {
    const Layout& layout;
    std::string out;

    void Scalar(const Value& v) {
        out += v.is_string() ? Text::JsonString(v.get_ref<const std::string&>()) : v.dump();
    }

    // A value that starts on a line indented by `indent`; `name` is the
    // member it is the value of ("" for array elements and the document).
    void Any(const Value& v, const std::string& name, bool block, size_t indent) {
        if (v.is_array())
            Array(v, name, indent);
        else if (v.is_object())
            Object(v, block, indent);
        else
            Scalar(v);
    }

    void Array(const Value& v, const std::string& name, size_t indent) {
        if (v.empty()) {
            out += "[]";
            return;
        }
        const bool listed = layout.listed.count(name) > 0;
        const bool blocks = layout.blocks.count(name) > 0;
        out += "[";
        bool first = true;
        for (const auto& element : v) {
            out += first ? "" : listed ? "," : ", ";
            if (listed)
                out += "\n" + std::string(indent + 2, ' ');
            Any(element, "", blocks, listed ? indent + 2 : indent);
            first = false;
        }
        if (listed)
            out += "\n" + std::string(indent, ' ');
        out += "]";
    }

    void Object(const Value& v, bool block, size_t indent) {
        if (v.empty()) {
            out += "{}";
            return;
        }
        out += "{";
        bool first = true;
        for (const auto& [key, member] : v.items()) {
            // Members of the document named in `joined` stay on the line before.
            if (block && !(indent == 0 && !first && layout.joined.count(key)))
                out += (first ? "\n" : ",\n") + std::string(indent + 2, ' ');
            else
                out += first ? "" : ", ";
            out += Text::JsonString(key) + ": ";
            Any(member, key, false, block ? indent + 2 : indent);
            first = false;
        }
        if (block)
            out += "\n" + std::string(indent, ' ');
        out += "}";
    }
};
} // namespace

std::string Inline(const Value& value) {
    const Layout none{false, {}, {}, {}};
    Writer w{none, {}};
    w.Any(value, "", false, 0);
    return w.out;
}

std::string Write(const Value& document, const Layout& layout) {
    Writer w{layout, {}};
    w.Any(document, "", layout.openDocument, 0);
    return w.out + "\n";
}
} // namespace JsonWriter
