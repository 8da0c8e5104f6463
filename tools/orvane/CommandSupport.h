// What the subcommands share: usage failures, loading and selecting the FRU,
// area and field a command names, and turning a value into field bytes.
#pragma once
#include "FieldNames.h"
#include "Options.h"
#include "Session.h"

#include <cstdint>
#include <string>
#include <vector>

namespace Commands {
// The longest text a type/length byte can announce.
constexpr uint32_t kMaxFieldBytes = 63;
// The board manufacturing date counts minutes from 1996-01-01 00:00 UTC.
constexpr int64_t kBoardDateEpoch = 820454400;

std::u16string Wide(const std::string& s);
int Usage(const std::string& command, const std::string& problem);
// Loads the FRUs a command works on: the system, or one configuration file.
bool LoadSource(Session& s, const Options& o);
// Selects the FRU a command names: the file's FRU, or a FRU of the system.
bool SelectTarget(Session& s, const Options& o, const std::string* designation, uint32_t* position);
bool SelectArea(Session& s, int32_t area);
bool SelectNamedField(Session& s, const FieldNames::Field& field, const std::string& name);
// The bytes a value stands for in a field: hex for the internal use data, a
// date for the board's manufacturing date, a number for the chassis type,
// the text itself otherwise.
bool FieldBytes(const FieldNames::Field& field, uint32_t index, const std::string& value,
                std::vector<uint8_t>* bytes, std::string* problem);
// Sets the selected field (or the internal use data) to bytes, after the
// checks that keep a FRU readable. Returns an exit code.
int ApplyValue(Session& s, const Options& o, const FieldNames::Field& field,
               const std::string& name, const std::vector<uint8_t>& bytes);
} // namespace Commands
