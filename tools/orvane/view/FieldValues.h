// The values set takes for the two fields that are no text: every form in
// which the command prints the board's manufacturing date and the chassis
// type is taken back, so that what get printed can be set again.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace FieldValues {
// The board manufacturing date counts minutes from 1996-01-01 00:00 UTC.
constexpr int64_t kBoardDateEpoch = 820454400;

// Minutes since 1996-01-01 00:00 UTC from the date as the library renders it
// (in the catalogue's order of day, month and year), ISO 8601 with or
// without a time ("2024-03-15T08:30:00Z", "2024-03-15 08:30", "2024-03-15"),
// or a number of minutes. Nothing, with the reason in *problem, otherwise.
std::optional<uint32_t> BoardMinutes(const std::string& text, std::string* problem);
// A chassis type from its number, the library's name of it, its system
// enclosure name, or the name with the number as show prints it ("Rack
// Mount Chassis (17h)"); names without regard to case. A name that several
// types share (the library's "Reserved") keeps the current type when it is
// one of them.
std::optional<uint8_t> ChassisType(const std::string& text, uint8_t current);
} // namespace FieldValues
