// Names of the numbers a FRU image carries: system enclosure (chassis)
// types, area language codes and the IANA enterprise numbers of common
// manufacturers in OEM multi-records. Each is a table; a number without a
// name gives nullptr.
#pragma once
#include <cstdint>

namespace FruNames {
// The system enclosure name of a chassis type (01h Other ... 24h Stick PC).
const char* ChassisType(uint8_t type);
// The language of an info area's language code (0 and 25 English, ...).
const char* Language(uint8_t code);
// The manufacturer with an IANA enterprise number.
const char* Manufacturer(uint32_t iana);
} // namespace FruNames
