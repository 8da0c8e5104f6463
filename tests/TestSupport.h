// Helpers shared by the test programs.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace TestSupport {
// Loads the built English catalogue as the library's catalogue (through the
// build folder, whatever the current directory).
void LoadEnglishCatalogue();
// A fresh empty temporary folder, removed at exit of the test program.
std::string TempDir();
std::vector<uint8_t> ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);
std::string ReadText(const std::string& path);
// The bytes of a message catalogue holding these texts, with its check word.
std::vector<uint8_t> CatalogueBytes(const std::vector<std::u16string>& texts);
// The debug log DBGLOG.txt of the current folder as text (it is UTF-16LE).
std::u16string ReadLog();
} // namespace TestSupport
