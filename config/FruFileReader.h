// Reading a configuration file into a CFru.
#pragma once
#include <cstdint>

class CFru;
class LineFile;

namespace FruFileReader {
// Fills fru from the file at path (a narrow string): the file header items, the
// FRU block's locator items, then the common header and every area section the
// header declares. Returns 0, or ORVANE_E_CONFIG_FILE_READ with the trace line
// and the last-error text of the first problem.
uint32_t Read(CFru& fru, const char* path);

// Collects the bytes of the section whose keyword is on the given line, up to
// the next section: hex digit pairs and quoted texts, at most 512 bytes, into
// one buffer shared by every call (valid until the next). Returns 0,
// ORVANE_E_MISSING_AREA_TAG, ORVANE_E_AREA_TOO_BIG or ORVANE_E_UNEXPECTED_CHAR.
uint32_t ParseArea(const char* keyword, LineFile& file, uint32_t line, const uint8_t** data,
                   uint32_t* count);
// The trace line and last-error text of a ParseArea result (none for 0).
void SetParseAreaErrorMessage(uint32_t code, const char16_t* areaName, const char* path);
} // namespace FruFileReader
