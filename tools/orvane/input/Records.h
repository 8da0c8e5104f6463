// The multi-record area of a FRU written by hand: each record by its type
// (a standard type by name with its values, or any type by name or number
// with its data bytes), framed with its header, both checksums and, on the
// last record, the end-of-list flag.
#pragma once
#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>
#include <vector>

namespace Records {
// The area's bytes for the records of a JSON array at path. False with the
// path of the member that cannot be stored and why.
bool Encode(const nlohmann::json& records, const std::string& path, std::vector<uint8_t>* area,
            std::string* where, std::string* problem);
} // namespace Records
