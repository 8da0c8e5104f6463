// The built library exports exactly the functions that orvane.h declares and
// the data item Revision: nothing of its inner workings leaks.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>

namespace {

std::set<std::string> DeclaredInHeader() {
    std::istringstream header(
        TestSupport::ReadText(std::string(ORVANE_SOURCE_DIR) + "/include/orvane/orvane.h"));
    std::set<std::string> names;
    for (std::string line; std::getline(header, line);) {
        if (line.rfind("ORVANE_API ", 0) != 0)
            continue;
        // The declared name is the identifier just before "(" or ";".
        std::string head = line.substr(0, line.find_first_of("(;"));
        head.erase(head.find_last_not_of(' ') + 1);
        size_t begin = head.find_last_not_of(
            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_");
        names.insert(head.substr(begin == std::string::npos ? 0 : begin + 1));
    }
    return names;
}

std::set<std::string> ExportedByLibrary() {
    const auto listing = TestSupport::RunIn(
        TestSupport::TempDir(), "nm -D --defined-only " + std::string(ORVANE_LIBRARY_FILE));
    std::istringstream lines(listing.out);
    std::set<std::string> names;
    for (std::string address, type, name; lines >> address >> type >> name;)
        if (type != "A") // 'A' is the version node itself
            names.insert(name.substr(0, name.find('@')));
    return names;
}

TEST(ExportsTest, ExactlyTheHeaderIsExported) {
    std::set<std::string> declared = DeclaredInHeader();
    EXPECT_TRUE(declared.count("Revision"));
    EXPECT_TRUE(declared.count("Initialize"));
    EXPECT_EQ(ExportedByLibrary(), declared);
}

} // namespace
