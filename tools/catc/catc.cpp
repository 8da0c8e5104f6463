// Catalogue compiler: turns a UTF-8 catalogue source (one "index text" entry
// per line) into the binary message catalogue the library reads, with the check
// word that makes the 16-bit word sum of the file 0. It refuses a source whose
// entries are missing, out of order, or whose printf directives differ from
// the arguments the library passes to that index.
#include "support/Utf16.h"

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kEntries = 139;

// What the library passes to each entry that takes arguments: n a number,
// w a wide text, a a narrow text. Every other entry is a plain text.
const std::map<uint32_t, std::string> kArguments = {
    {35, "nnnnnn"}, {63, "nn"}, {64, "w"},  {89, "a"},  {90, "wa"},    {94, "wa"}, {95, "wa"},
    {96, "wa"},     {97, "wa"}, {98, "a"},  {100, "a"}, {104, "w"},    {105, "w"}, {106, "w"},
    {107, "w"},     {108, "w"}, {109, "w"}, {113, "w"}, {134, "nnnn"}, {137, "w"},
};

// The argument kinds of a text's directives, or an error text.
bool Directives(const std::string& text, std::string& kinds, std::string& error) {
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%')
            continue;
        size_t j = i + 1;
        while (j < text.size() && std::string("-+ #0").find(text[j]) != std::string::npos)
            ++j;
        while (j < text.size() &&
               (std::isdigit(static_cast<unsigned char>(text[j])) || text[j] == '.'))
            ++j;
        std::string length;
        while (j < text.size() && (text[j] == 'l' || text[j] == 'h'))
            length += text[j++];
        if (j >= text.size()) {
            error = "unfinished directive";
            return false;
        }
        char c = text[j];
        if (c == '%' && j == i + 1) {
            error = "'%%' in an entry; write the text without it";
            return false;
        } else if (std::string("diuxX").find(c) != std::string::npos && length.empty()) {
            kinds += 'n';
        } else if (c == 's' && length == "l") {
            kinds += 'w';
        } else if (c == 's' && length == "h") {
            kinds += 'a';
        } else {
            error = "unsupported directive '" + text.substr(i, j - i + 1) + "'";
            return false;
        }
        i = j;
    }
    return true;
}

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
        std::string kinds, error;
        if (!Directives(text, kinds, error)) {
            fail("entry " + number + ": " + error);
        } else {
            auto expected = kArguments.find(static_cast<uint32_t>(index));
            std::string want = expected == kArguments.end() ? "" : expected->second;
            if (kinds != want)
                fail("entry " + number + " takes arguments \"" + want +
                     "\" but its directives are \"" + kinds + "\" (n number, w %ls, a %hs)");
        }
        entries.push_back(Utf16::FromUtf8(text));
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
