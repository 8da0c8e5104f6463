// The built library exports exactly the functions that orvane.h declares and
// the data item Revision: nothing of its inner workings leaks.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>

namespace {

std::set<std::string> DeclaredInHeader() {
    std::string header =
        TestSupport::ReadText(std::string(ORVANE_SOURCE_DIR) + "/include/orvane/orvane.h");
    std::set<std::string> names;
    size_t start = 0;
    while (start < header.size()) {
        size_t end = header.find('\n', start);
        std::string line = header.substr(start, end == std::string::npos ? end : end - start);
        start = end == std::string::npos ? header.size() : end + 1;
        if (line.rfind("ORVANE_API ", 0) != 0)
            continue;
        // The declared name is the identifier just before "(" or ";".
        std::string head = line.substr(0, line.find_first_of("(;"));
        while (!head.empty() && head.back() == ' ')
            head.pop_back();
        size_t begin = head.find_last_not_of(
            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_");
        names.insert(head.substr(begin == std::string::npos ? 0 : begin + 1));
    }
    return names;
}

std::set<std::string> ExportedByLibrary() {
    std::string command = "nm -D --defined-only " + std::string(ORVANE_LIBRARY_FILE);
    std::set<std::string> names;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return names;
    char line[512];
    while (std::fgets(line, sizeof line, pipe)) {
        char type = 0;
        char name[400];
        if (std::sscanf(line, "%*s %c %399s", &type, name) != 2 || type == 'A')
            continue; // 'A' is the version node itself
        std::string symbol = name;
        symbol = symbol.substr(0, symbol.find('@'));
        names.insert(symbol);
    }
    pclose(pipe);
    return names;
}

TEST(ExportsTest, ExactlyTheHeaderIsExported) {
    std::set<std::string> declared = DeclaredInHeader();
    EXPECT_TRUE(declared.count("Revision"));
    EXPECT_TRUE(declared.count("Initialize"));
    EXPECT_EQ(ExportedByLibrary(), declared);
}

} // namespace
