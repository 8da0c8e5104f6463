// A FRU object as show --json prints it, read back so that the image it
// describes can be built again byte for byte: the common header, every area
// at its offset with its length, format version, language and chassis type,
// each field's stored bytes and encoding, the internal use and multi-record
// bytes; what lies between the areas is FFh, as the library writes it. A field whose value no
// longer matches its bytes was edited: it is stored from the value, as set would.
#pragma once
#include "input/FruInput.h"

#include <nlohmann/json.hpp>

namespace DescribedFru {
// Fills *fru from the FRU object at path. Returns an exit code after the
// report (3 for a value that cannot be stored).
int Read(const nlohmann::json& object, const std::string& path, FruInput::Fru* fru);
} // namespace DescribedFru
