// Helpers shared by the test programs.
#pragma once
#include "orvane/orvane.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace TestSupport {
// Loads the built English catalogue as the library's catalogue (through the
// build folder, whatever the current directory).
void LoadEnglishCatalogue();
// A fresh empty temporary folder, removed at exit of the test program.
std::string TempDir();
// A copy of examples/demo-system (FRU images and system.json) at dest.
std::string DemoCopy(const std::string& dest);
std::vector<uint8_t> ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);
std::string ReadText(const std::string& path);
// The bytes of a message catalogue holding these texts, with its check word.
std::vector<uint8_t> CatalogueBytes(const std::vector<std::u16string>& texts);
// The debug log DBGLOG.txt of the current folder as text (it is UTF-16LE).
std::u16string ReadLog();
// The debug log DBGLOG.txt of the current folder, one byte a UTF-16 unit (its
// lines are ASCII); with take, the file is removed after reading.
std::string AsciiLog(bool take = false);
// The library's last error, handed over; empty when there is none.
std::u16string TakeError();
// The lines of the log that the function (e.g. "Orvane::GetAreaData") writes
// itself, each with its CR LF.
std::string LinesOf(const std::string& log, const std::string& function);
// A text of the library, or "<null>".
std::u16string Text(const OrvaneChar* text);
std::u16string Wide(const std::string& text);
// Runs destroy(chain) on a thread with a 128 KiB stack, which one frame per
// link would overflow.
void DestroyOnSmallStack(void* (*destroy)(void*), void* chain);
// A chain of links of type T (linked through next): the head and then
// 20,000 more, deleted from the head on a small stack.
template <typename T> void DeleteLongChain(T* head) {
    T* tail = head;
    for (int i = 0; i < 20000; ++i)
        tail = tail->next = new T();
    DestroyOnSmallStack(
        [](void* chain) -> void* {
            delete static_cast<T*>(chain);
            return nullptr;
        },
        head);
}
// A host of the library: Initialize with the built-in catalogue choice while
// this lives, DeInitialize and debug level 1 after.
struct Host {
    Host();
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;
    // DeInitialize, then Initialize again: a fresh library state.
    void Restart();
    // The last error handed out by GetLastErrorMessage, "<null>" when none.
    std::u16string LastError();
    // Selects the area and the field (by enumerator when fieldEnum, else by
    // index) and returns its string value; sets a field's text.
    std::u16string Field(int32_t area, int32_t field, bool fieldEnum = true);
    uint32_t SetField(int32_t area, int32_t field, const std::string& text, bool fieldEnum = true);
    // Selects the FRU of the system list with this name and returns its position.
    uint32_t SelectNamed(const std::u16string& name);
    OrvaneInterface api{};
};
// The current folder is a fresh temporary one (for the debug log) while this lives.
struct InTempDir {
    InTempDir();
    ~InTempDir();
    std::filesystem::path previous;
};
// The text quoted for a POSIX shell.
std::string ShellQuote(const std::string& text);
// A shell command's exit code (-1 when it did not exit), standard output and error.
struct CommandResult {
    int code;
    std::string out, err;
};
// Runs a shell command in a folder, its output collected in out.txt and
// err.txt there.
CommandResult RunIn(const std::string& folder, const std::string& command);
// Runs the built orvane command in a folder: env goes before it (variable
// settings), args after it (shell words).
CommandResult Orvane(const std::string& folder, const std::string& args,
                     const std::string& env = "");
// How a run must end, each text given exactly ("=..."), as a part ("..."), as a
// part that must be missing ("!...") or not at all (""): checked with Expect.
struct Ending {
    int code;
    std::string out, err;
};
void Expect(const CommandResult& r, const Ending& want, const std::string& what);
// The real FRU images (*.bin) of the corpus beside the repository or in
// ORVANE_CORPUS_DIR, sorted; none when there is no corpus.
std::vector<std::filesystem::path> CorpusImages();
// FreeIPMI's ipmi-fru -v on an image file, its "  FRU ..." lines (a value
// continued on further lines joined to its own); empty when ipmi-fru is not
// installed.
std::vector<std::string> IpmiFru(const std::string& image);

// Bytes as the simulated system's description writes them: "01 A0 ...".
std::string Hex(const std::vector<uint8_t>& bytes);
// A simulated system that the library reaches through the sim driver while
// this lives. Its description lies in a fresh folder beside the given image
// files (its devices name them with "image"); the requests reaching the BMC
// are logged there.
class SimulatedSystem {
  public:
    explicit SimulatedSystem(const std::string& json,
                             const std::map<std::string, std::vector<uint8_t>>& files = {});
    // The BMC at 0x20 with FRU devices 0 to devices - 1 all holding this image
    // (none when it is empty; its bytes are in file "fru0.bin"), and these SDR
    // records.
    explicit SimulatedSystem(const std::vector<uint8_t>& image,
                             const std::vector<std::vector<uint8_t>>& sdr = {},
                             unsigned devices = 1);
    ~SimulatedSystem();
    SimulatedSystem(const SimulatedSystem&) = delete;
    SimulatedSystem& operator=(const SimulatedSystem&) = delete;
    // The logged lines; with requestsOnly, each send line without its answer.
    std::vector<std::string> Log(bool requestsOnly = false) const;
    void ClearLog() const;
    std::vector<uint8_t> File(const std::string& name) const;
    std::string dir;
};
} // namespace TestSupport
