// Writing a CFru as a configuration file.
#pragma once
#include <cstdint>

class CFru;

namespace FruFileWriter {
// Writes fru to the file at path (a narrow string): the file header, the
// common header and a section for every area the header declares. The first
// step creates the file, every later one appends. Returns 0,
// ORVANE_E_FILE_CREATE or ORVANE_E_CONFIG_FILE_WRITE.
uint32_t Save(CFru& fru, const char* path);
} // namespace FruFileWriter
