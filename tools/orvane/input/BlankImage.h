// The image a JSON FRU is built from before the core's area classes fill
// it: the common header, the internal use and multi-record bytes as given,
// and each info area with its header bytes (format version, length,
// language, date or chassis type) and an empty 8-bit field for every field
// it is to have, custom fields included, since the core changes fields but
// never adds them. The core's setters then store each field, grow the areas
// that need it, and lay the image out.
#pragma once
#include "input/FruInput.h"

#include <cstdint>
#include <string>
#include <vector>

namespace BlankImage {
// The image can pass neither this size nor an offset the header can give.
constexpr uint32_t kMaxImageBytes = 65536;

// The blank image of fru: described areas at their offsets with their
// lengths (FFh between them), areas written by hand packed from
// byte 8 in the order internal use, chassis, board, product, multi-record.
// False with the path of the area that does not fit and why.
bool Make(const FruInput::Fru& fru, std::vector<uint8_t>* image, std::string* where,
          std::string* problem);
} // namespace BlankImage
