// Printing FRU snapshots for people (aligned text) and for scripts (JSON in
// the schema of tools/orvane/show.schema.json).
#pragma once
#include "app/Session.h"
#include "view/JsonWriter.h"

#include <cstdio>
#include <string>
#include <vector>

namespace Render {
// One line per FRU: position, name, address and the areas present.
void ScanLine(std::FILE* out, const FruView& fru);
// Every area and field with title and value; internal use and multi-record
// bytes as hex.
void Plain(std::FILE* out, const FruView& fru);
// The same as one JSON document: {"frus": [...]}, followed by the members
// of `members` (e.g. "damaged": [...], "unreadable": [...]).
void Json(std::FILE* out, const std::vector<FruView>& frus,
          const JsonWriter::Value& members = JsonWriter::Value::object());
// A field of an area as show --json gives it.
JsonWriter::Value JsonField(const ImageModel::AreaImage& area, size_t index);
// A FRU address as JSON: its text and each of its parts.
JsonWriter::Value JsonAddress(const FruAddress& address);
} // namespace Render
