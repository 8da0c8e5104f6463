// The orvane command and catalogues planted in its current directory: taken
// from a folder only this user (or root) can change, ignored, with one notice,
// where others can write.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {
namespace fs = std::filesystem;

constexpr const char* kNotice = "orvane: not using enus/orvane/str/orvane.str in the current "
                                "directory, which other users can change; using the installed "
                                "catalogues\n";

size_t Count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

TEST(CatalogueGuardTest, PlantedCatalogueIsUsedOnlyFromAFolderNoOtherUserCanChange) {
    struct Case {
        const char* what;
        fs::perms folder;
        uid_t owner; // of the planted file
        bool ignored;
    } cases[] = {
        {"world-writable folder", fs::perms(0777), 0, true},
        {"group-writable folder", fs::perms(0775), 0, true},
        {"file of another user", fs::perms(0755), 65534, true},
        {"folder and file of this user", fs::perms(0755), 0, false},
    };
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to plant files of other users";
    // Entry 63 reads a text where the library passes a number.
    std::vector<std::u16string> texts(139, u"planted");
    texts[63] = u"%ls";
    for (const Case& c : cases) {
        const std::string dir = TestSupport::TempDir();
        fs::create_directories(dir + "/enus/orvane/str");
        const std::string planted = dir + "/enus/orvane/str/orvane.str";
        TestSupport::WriteFile(planted, TestSupport::CatalogueBytes(texts));
        ASSERT_EQ(chown(planted.c_str(), c.owner, 0), 0);
        const std::string system = dir + "/system.json";
        const std::string json = R"({"controllers": [{"address": "0x20"}], "sdr": []})";
        TestSupport::WriteFile(system, std::vector<uint8_t>(json.begin(), json.end()));
        fs::permissions(dir, c.folder);
        // The English catalogue is asked for twice: at start and by --lang.
        const auto [code, out, err] = TestSupport::RunIn(
            dir, TestSupport::ShellQuote(std::string(ORVANE_BUILD_DIR) + "/orvane") +
                     " --system system.json --lang en --locale us props");
        if (c.ignored) {
            EXPECT_EQ(code, 0) << c.what << "\n" << err;
            EXPECT_EQ(Count(err, kNotice), 1u) << c.what << "\n" << err;
            EXPECT_NE(out.find("IPMI Version"), std::string::npos) << c.what;
        } else {
            // The library's order is unchanged: the current directory first.
            EXPECT_EQ(code, 1) << c.what;
            EXPECT_NE(err.find("the library cannot start (0xC0070001)"), std::string::npos)
                << c.what << "\n"
                << err;
            EXPECT_EQ(Count(err, kNotice), 0u) << c.what;
        }
    }
}

} // namespace
