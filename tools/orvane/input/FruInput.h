// A FRU described in JSON, as build --json and apply read it: either what
// show --json prints (a whole document, or one FRU object of it), which
// describes an image byte for byte, or a short description written by hand
// (areas with their fields by stable name and value). The input is checked
// against fru-input.schema.json first, then every value against what a FRU
// can store; a refusal names the JSON path of the member that is wrong.
#pragma once
#include "decode/FieldEncoding.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace FruInput {
// One field to store: in an info area by index (custom fields follow the
// fixed ones, in image order), or the internal use data (area internal,
// index 0).
struct Field {
    std::string path; // the member it comes from, "$.board.manufacturer"
    int32_t area = 0; // ORVANE_AREA_*
    uint32_t index = 0;
    std::string value; // the text as set takes it (dates and types as text too)
    // The exact bytes and type bits, when the input describes them (show
    // --json's hex and encoding of a field nobody edited).
    std::optional<std::vector<uint8_t>> bytes;
    uint8_t typeBits = 0xC0;
    // An encoding the input forces for a text; nothing: the one set chooses.
    std::optional<FieldEncoding::Kind> encoding;
};

// One area of the image to build.
struct Area {
    int32_t kind = 0;
    std::string path;
    uint32_t offset = 0; // the described form: where it lies; 0: packed
    uint32_t length = 0; // the described form: its bytes; 0: as few as the fields need
    uint8_t formatVersion = 1, language = 0, chassisType = 0;
    uint8_t date[3] = {0, 0, 0}; // the board's minutes since 1996, least significant first
    uint32_t customFields = 0;   // info areas
    bool headerGiven = false;    // the short form gives a format version or language
    std::vector<uint8_t> bytes;  // internal use and multi-record areas: the whole area
};

struct Fru {
    bool described = false;      // from show --json: the image as it was, byte for byte
    std::vector<uint8_t> header; // described: the common header
    std::vector<Area> areas;     // by kind
    std::vector<Field> fields;   // in area order, fixed fields before custom ones
};

// Reads a JSON input (a file, or standard input for "-") into *fru. pick
// chooses a FRU of a whole show --json document (position, name or address;
// "" when it holds one). handOnly refuses the described form (apply).
// Returns an exit code after the report: 2 when the input is not JSON or does
// not fit the schema, 3 for a value no FRU can store.
int Read(const std::string& file, const std::string& pick, bool handOnly, Fru* fru);
} // namespace FruInput
