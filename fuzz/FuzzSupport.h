// What the fuzz programs share: a working folder, files, the simulated BMC's
// description, and a host's walk over everything the library presents.
#pragma once
#include "orvane/orvane.h"

#include <cstdint>
#include <string>
#include <vector>

namespace FuzzSupport {

// Once per process: a fresh working folder under /tmp for every file a
// target writes, holding the English catalogue where the library looks for
// catalogues; the library loads the driver module at driverPath. The current
// directory stays (libFuzzer's corpus and artifact paths are relative to it).
void Prepare(const std::string& driverPath);
// A file of the working folder, as a path and as the library's wide path.
std::string Path(const std::string& name);
std::u16string WidePath(const std::string& name);

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> ReadFile(const std::string& path);
// A file of the source tree, e.g. "examples/demo-system/board.bin".
std::vector<uint8_t> SourceFile(const std::string& relativePath);
// Bytes as the simulated BMC's "hex" and "raw" items write them: "01 A0 FF".
std::string Hex(const std::vector<uint8_t>& bytes);

// Makes json the simulated system: it is written to the other of two files
// and ORVANE_SIM_SYSTEM names that file, so the simulated BMC reads it again.
void UseSimSystem(const std::string& json);

// Initialize with the English catalogue and a silent debug log; End runs
// DeInitialize.
void Begin(OrvaneInterface* api);
void End(OrvaneInterface* api);

// Every Get operation on the selected FRU: address, name, areas, fields,
// titles, values, raw bytes and sizes, and the enumerator selections.
void WalkFru(OrvaneInterface* api);
// Selects the list and walks each of its FRUs.
void WalkList(OrvaneInterface* api, uint32_t listId);
// Loads the system properties and reads their titles and values.
void WalkProperties(OrvaneInterface* api);
// Edits the selected FRU as a host would: each info area field gets its own
// bytes with one more byte (when the padding allows) or one fewer, and the
// internal use and multi-record bytes are written back with the first byte
// changed. change varies the byte written.
void EditFru(OrvaneInterface* api, uint8_t change);

} // namespace FuzzSupport
