// Catalogue compiler: turns a UTF-8 catalogue source (one "index text" entry
// per line) into the binary message catalogue the library reads, with the check
// word that makes the 16-bit word sum of the file 0. It refuses a source whose
// entries are missing, out of order, or whose printf directives differ from
// the arguments the library passes to that index.
#include "support/CatalogueSignatures.h"
#include "support/Utf16.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kEntries = 139;

std::string Unescape(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            char c = text[++i];
            out += c == 'n' ? '\n' : c == 't' ? '\t' : c;
        } else {
            out += text[i];
        }
    }
    return out;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: orvane-catc SOURCE.txt OUTPUT.str\n");
        return 2;
    }
    std::ifstream in(argv[1]);
    if (!in) {
        std::fprintf(stderr, "%s: cannot be read\n", argv[1]);
        return 1;
    }
    std::vector<std::u16string> entries;
    std::string line;
    int lineNumber = 0;
    bool failed = false;
    while (std::getline(in, line)) {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        size_t split = line.find_first_of(" \t");
        std::string number = line.substr(0, split);
        size_t start =
            split == std::string::npos ? line.size() : line.find_first_not_of(" \t", split);
        std::string text = Unescape(start == std::string::npos ? "" : line.substr(start));
        char* end = nullptr;
        unsigned long index = std::strtoul(number.c_str(), &end, 10);
        auto fail = [&](const std::string& why) {
            std::fprintf(stderr, "%s:%d: %s\n", argv[1], lineNumber, why.c_str());
            failed = true;
        };
        if (number.empty() || *end != 0) {
            fail("an entry starts with its index");
            continue;
        }
        if (index != entries.size()) {
            fail("entry " + number + " out of order; expected " + std::to_string(entries.size()));
            continue;
        }
        const std::u16string wide = Utf16::FromUtf8(text);
        std::string error;
        if (!CatalogueSignatures::Fits(static_cast<uint32_t>(index), wide.data(), wide.size(),
                                       error))
            fail("entry " + number + " " + error);
        entries.push_back(wide);
    }
    if (entries.size() != kEntries) {
        std::fprintf(stderr, "%s: %zu entries; the library needs exactly %u\n", argv[1],
                     entries.size(), kEntries);
        failed = true;
    }
    if (failed)
        return 1;

    // Layout: N, offsets, lengths (code units with the terminator), strings,
    // then the check word.
    std::vector<uint16_t> words;
    auto put32 = [&](uint32_t v) {
        words.push_back(static_cast<uint16_t>(v & 0xFFFF));
        words.push_back(static_cast<uint16_t>(v >> 16));
    };
    uint32_t n = static_cast<uint32_t>(entries.size());
    put32(n);
    uint32_t offset = 4 + 8 * n;
    for (const auto& e : entries) {
        put32(offset);
        offset += 2 * static_cast<uint32_t>(e.size() + 1);
    }
    for (const auto& e : entries)
        put32(static_cast<uint32_t>(e.size() + 1));
    for (const auto& e : entries) {
        words.insert(words.end(), e.begin(), e.end());
        words.push_back(0);
    }
    uint16_t sum = 0;
    for (uint16_t w : words)
        sum = static_cast<uint16_t>(sum + w);
    words.push_back(static_cast<uint16_t>(0x10000 - sum));

    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    for (uint16_t w : words) {
        char b[2] = {static_cast<char>(w & 0xFF), static_cast<char>(w >> 8)};
        out.write(b, 2);
    }
    if (!out) {
        std::fprintf(stderr, "%s: cannot be written\n", argv[2]);
        return 1;
    }
    return 0;
}
