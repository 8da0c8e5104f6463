#include "TestSupport.h"

#include "support/Frame.h"
#include "support/StringResource.h"
#include "support/Trace.h"
#include "system/DriverModule.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <pthread.h>
#include <stdexcept>
#include <string>
#include <sys/wait.h>

namespace TestSupport {

void LoadEnglishCatalogue() {
    auto* catalogue = new StringResource();
    std::string path = std::string(ORVANE_BUILD_DIR) + "/enus/orvane/str/orvane.str";
    std::u16string wide(path.begin(), path.end());
    if (catalogue->Open(wide.c_str(), 0) != 0 || catalogue->LoadAll() != 0) {
        delete catalogue;
        throw std::runtime_error("the English catalogue is not built: " + path);
    }
    Frame::ReplaceCatalogue(catalogue);
}

namespace {
struct TempRoot {
    std::filesystem::path path;
    ~TempRoot() {
        std::error_code ec;
        if (!path.empty())
            std::filesystem::remove_all(path, ec);
    }
};
TempRoot g_root;
int g_counter = 0;
} // namespace

std::string TempDir() {
    if (g_root.path.empty()) {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "orvane-test-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("cannot make a temporary folder");
        g_root.path = pattern;
    }
    auto dir = g_root.path / std::to_string(++g_counter);
    std::filesystem::create_directories(dir);
    return dir.string();
}

std::string DemoCopy(const std::string& dest) {
    std::filesystem::copy(std::filesystem::path(ORVANE_SOURCE_DIR) / "examples" / "demo-system",
                          dest,
                          std::filesystem::copy_options::recursive |
                              std::filesystem::copy_options::overwrite_existing);
    return dest;
}

std::vector<uint8_t> ReadFile(const std::string& path) {
    const std::string text = ReadText(path);
    return {text.begin(), text.end()};
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<uint8_t> CatalogueBytes(const std::vector<std::u16string>& texts) {
    // The count, the offsets, the lengths (terminators counted), the texts.
    std::vector<uint32_t> head = {static_cast<uint32_t>(texts.size())};
    uint32_t offset = 4 + 8 * static_cast<uint32_t>(texts.size());
    for (const auto& t : texts) {
        head.push_back(offset);
        offset += 2 * static_cast<uint32_t>(t.size() + 1);
    }
    for (const auto& t : texts)
        head.push_back(static_cast<uint32_t>(t.size() + 1));
    std::vector<uint16_t> words;
    for (uint32_t v : head)
        words.insert(words.end(), {static_cast<uint16_t>(v), static_cast<uint16_t>(v >> 16)});
    for (const auto& t : texts) {
        words.insert(words.end(), t.begin(), t.end());
        words.push_back(0);
    }
    uint16_t sum = 0;
    for (uint16_t w : words)
        sum = static_cast<uint16_t>(sum + w);
    words.push_back(static_cast<uint16_t>(0x10000 - sum)); // the check word
    std::vector<uint8_t> bytes;
    for (uint16_t w : words)
        bytes.insert(bytes.end(), {static_cast<uint8_t>(w), static_cast<uint8_t>(w >> 8)});
    return bytes;
}

std::u16string ReadLog() {
    const std::string bytes = ReadText("DBGLOG.txt");
    std::u16string text;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        text.push_back(static_cast<char16_t>(static_cast<uint8_t>(bytes[i]) |
                                             static_cast<uint8_t>(bytes[i + 1]) << 8));
    return text;
}

std::string AsciiLog(bool take) {
    const std::u16string wide = ReadLog();
    if (take)
        std::filesystem::remove("DBGLOG.txt");
    return std::string(wide.begin(), wide.end());
}

std::u16string TakeError() {
    const char16_t* error = Frame::TakeLastError();
    return error ? error : u"";
}

std::string LinesOf(const std::string& log, const std::string& function) {
    std::string lines;
    for (size_t start = 0, end; (end = log.find("\r\n", start)) != std::string::npos;
         start = end + 2)
        if (log.compare(start, function.size() + 1, function + " ") == 0)
            lines += log.substr(start, end + 2 - start);
    return lines;
}

std::u16string Text(const OrvaneChar* text) {
    return text ? std::u16string(text) : std::u16string(u"<null>");
}

std::u16string Wide(const std::string& text) {
    return std::u16string(text.begin(), text.end());
}

void DestroyOnSmallStack(void* (*destroy)(void*), void* chain) {
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, 128 * 1024);
    pthread_t thread;
    ASSERT_EQ(0, pthread_create(&thread, &attr, destroy, chain));
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attr);
}

Host::Host() {
    api.setLanguage = SetLanguageLocale;
    EXPECT_EQ(Initialize(&api), ORVANE_OK);
}
Host::~Host() {
    DeInitialize(&api);
    Trace::SetDebugLevel(1);
}
void Host::Restart() {
    ASSERT_EQ(DeInitialize(&api), ORVANE_OK);
    ASSERT_EQ(Initialize(&api), ORVANE_OK);
}
std::u16string Host::LastError() {
    const OrvaneChar* text = nullptr;
    EXPECT_EQ(GetLastErrorMessage(&api, &text), ORVANE_OK);
    return Text(text);
}
namespace {
uint32_t SelectField(OrvaneInterface* api, int32_t area, int32_t field, bool fieldEnum) {
    const uint32_t status = SelectAreaEnum(api, area);
    if (status != ORVANE_OK)
        return status;
    return fieldEnum ? SelectFieldEnum(api, field)
                     : SelectFieldInteger(api, static_cast<uint32_t>(field));
}
} // namespace
std::u16string Host::Field(int32_t area, int32_t field, bool fieldEnum) {
    EXPECT_EQ(SelectField(&api, area, field, fieldEnum), ORVANE_OK);
    const OrvaneChar* value = nullptr;
    EXPECT_EQ(GetFieldStringValue(&api, &value), ORVANE_OK);
    return Text(value);
}
uint32_t Host::SetField(int32_t area, int32_t field, const std::string& text, bool fieldEnum) {
    const uint32_t status = SelectField(&api, area, field, fieldEnum);
    if (status != ORVANE_OK)
        return status;
    return SetFieldDataValue(&api, reinterpret_cast<const uint8_t*>(text.data()),
                             static_cast<uint32_t>(text.size()));
}
uint32_t Host::SelectNamed(const std::u16string& name) {
    EXPECT_EQ(SelectList(&api, ORVANE_LIST_SYSTEM), ORVANE_OK);
    uint32_t present = 0, loaded = 0;
    GetNumberOfFrus(&api, &present, &loaded);
    for (uint32_t i = 0; i < loaded; ++i) {
        const OrvaneChar* n = nullptr;
        if (SelectFru(&api, i) == ORVANE_OK && GetFruName(&api, &n) == ORVANE_OK && n && name == n)
            return i;
    }
    ADD_FAILURE() << "no FRU of that name";
    return 0;
}

InTempDir::InTempDir() : previous(std::filesystem::current_path()) {
    std::filesystem::current_path(TempDir());
}
InTempDir::~InTempDir() {
    std::filesystem::current_path(previous);
}

std::string ShellQuote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

CommandResult RunIn(const std::string& folder, const std::string& command) {
    const int status = std::system(
        ("cd " + ShellQuote(folder) + " && " + command + " >out.txt 2>err.txt").c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadText(folder + "/out.txt"),
            ReadText(folder + "/err.txt")};
}

CommandResult Orvane(const std::string& folder, const std::string& args, const std::string& env) {
    return RunIn(folder,
                 env + " " + ShellQuote(std::string(ORVANE_BUILD_DIR) + "/orvane") + " " + args);
}

namespace {
bool Matches(const std::string& text, const std::string& want) {
    if (want.empty())
        return true;
    if (want[0] == '=')
        return text == want.substr(1);
    if (want[0] == '!')
        return text.find(want.substr(1)) == std::string::npos;
    return text.find(want) != std::string::npos;
}
} // namespace

void Expect(const CommandResult& r, const Ending& want, const std::string& what) {
    EXPECT_EQ(r.code, want.code) << what << "\n" << r.out << r.err;
    EXPECT_TRUE(Matches(r.out, want.out)) << what << "\nout: " << r.out;
    EXPECT_TRUE(Matches(r.err, want.err)) << what << "\nerr: " << r.err;
}

std::vector<std::filesystem::path> CorpusImages() {
    const char* named = std::getenv("ORVANE_CORPUS_DIR");
    const std::filesystem::path corpus =
        named ? std::filesystem::path(named)
              : std::filesystem::path(ORVANE_SOURCE_DIR).parent_path() / "shared" / "corpus";
    std::vector<std::filesystem::path> images;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(corpus, ec))
        if (e.path().extension() == ".bin")
            images.push_back(e.path());
    std::sort(images.begin(), images.end());
    return images;
}

std::vector<std::string> IpmiFru(const std::string& image) {
    std::vector<std::string> lines;
    if (!std::filesystem::exists("/usr/sbin/ipmi-fru"))
        return lines;
    const std::string path = std::filesystem::absolute(image).string();
    const std::string out =
        RunIn(TempDir(), "/usr/sbin/ipmi-fru -v --fru-file=" + ShellQuote(path)).out;
    for (size_t pos = 0, end; (end = out.find('\n', pos)) != std::string::npos; pos = end + 1) {
        const std::string line = out.substr(pos, end - pos);
        if (line.starts_with("  FRU"))
            lines.push_back(line);
        else if (line.starts_with("     ") && !lines.empty()) // a long value goes on
            lines.back() += " " + line.substr(5);
    }
    return lines;
}

std::string Hex(const std::vector<uint8_t>& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (uint8_t b : bytes) {
        if (!out.empty())
            out += ' ';
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

SimulatedSystem::SimulatedSystem(const std::string& json,
                                 const std::map<std::string, std::vector<uint8_t>>& files)
    : dir(TempDir()) {
    for (const auto& [name, bytes] : files)
        WriteFile(dir + "/" + name, bytes);
    WriteFile(dir + "/s.json", std::vector<uint8_t>(json.begin(), json.end()));
    DriverModule::Unload();
    setenv("ORVANE_DRIVER", "sim", 1);
    setenv("ORVANE_SIM_SYSTEM", (dir + "/s.json").c_str(), 1);
    setenv("ORVANE_SIM_LOG", (dir + "/requests.log").c_str(), 1);
}

namespace {
std::string BmcDescription(unsigned devices, const std::vector<std::vector<uint8_t>>& sdr) {
    std::string json = R"({"controllers": [{"address": "0x20", "fru_devices": [)";
    for (unsigned i = 0; i < devices; ++i)
        json += (i ? ", " : "") + std::string(R"({"id": )") + std::to_string(i) +
                R"(, "image": "fru0.bin"})";
    json += R"(]}], "sdr": [)";
    for (size_t i = 0; i < sdr.size(); ++i)
        json += (i ? ", " : "") + std::string(R"({"raw": ")") + Hex(sdr[i]) + "\"}";
    return json + "]}";
}
std::map<std::string, std::vector<uint8_t>> ImageFile(const std::vector<uint8_t>& image) {
    if (image.empty())
        return {};
    return {{"fru0.bin", image}};
}
} // namespace

SimulatedSystem::SimulatedSystem(const std::vector<uint8_t>& image,
                                 const std::vector<std::vector<uint8_t>>& sdr, unsigned devices)
    : SimulatedSystem(BmcDescription(image.empty() ? 0 : devices, sdr), ImageFile(image)) {}

SimulatedSystem::~SimulatedSystem() {
    DriverModule::Unload();
    unsetenv("ORVANE_DRIVER");
    unsetenv("ORVANE_SIM_SYSTEM");
    unsetenv("ORVANE_SIM_LOG");
}

std::vector<std::string> SimulatedSystem::Log(bool requestsOnly) const {
    std::vector<std::string> lines;
    const std::string text = ReadText(dir + "/requests.log");
    for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
         start = end + 1) {
        std::string line = text.substr(start, end - start);
        if (requestsOnly && line.rfind("send ", 0) == 0)
            line = line.substr(0, line.find(" -> "));
        lines.push_back(line);
    }
    return lines;
}

void SimulatedSystem::ClearLog() const {
    WriteFile(dir + "/requests.log", {});
}

std::vector<uint8_t> SimulatedSystem::File(const std::string& name) const {
    return ReadFile(dir + "/" + name);
}

} // namespace TestSupport
