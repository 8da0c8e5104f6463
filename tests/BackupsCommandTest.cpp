// orvane backups list and prune on a folder of made-up backups: newest
// first with their records, older ones named the earlier way among them, and
// prune never removing the newest backup of any FRU.
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <ctime>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace {
namespace fs = std::filesystem;
using Result = TestSupport::CommandResult;

struct MadeUp {
    const char* stem;
    const char* origin; // null: named the earlier way, without a record
    const char* address;
    std::string time; // ISO 8601 UTC
    bool cfg;
};

std::string Now() {
    char text[32];
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

const std::vector<MadeUp>& Folder() {
    static const std::vector<MadeUp> backups = {
        {"a1", "bmc-a", "2:0:20:00:20:01", "2005-01-01T00:00:00Z", true},
        {"a2", "bmc-a", "2:0:20:00:20:01", Now(), false},
        {"a3", "bmc-a", "2:0:20:00:20:01", "2005-06-01T00:00:00Z", true},
        {"b1", "bmc-b", "2:0:20:00:20:01", "2005-02-01T00:00:00Z", false},
        {"a4", "bmc-a", "2:0:20:00:20:02", "2004-12-01T00:00:00Z", false},
        {"20050415T000000Z-2-0-20-00-20-01", nullptr, "2:0:20:00:20:01", "2005-04-15T00:00:00Z",
         false},
    };
    return backups;
}

class BackupsCommandTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = TestSupport::TempDir();
        for (const MadeUp& b : Folder()) {
            const std::string stem = dir + "/" + b.stem;
            TestSupport::WriteFile(stem + ".bin", std::vector<uint8_t>(std::strlen(b.stem), 0xFF));
            if (b.cfg)
                TestSupport::WriteFile(stem + ".cfg", {'_'});
            if (!b.origin)
                continue;
            const nlohmann::json record = {
                {"orvane_backup", 1},
                {"origin", b.origin},
                {"address", b.address},
                {"name", "PSU"},
                {"time", b.time},
                {"size", std::strlen(b.stem)},
                {"bin", b.stem + std::string(".bin")},
                {"cfg", b.cfg ? nlohmann::json(b.stem + std::string(".cfg")) : nlohmann::json()}};
            const std::string text = record.dump();
            TestSupport::WriteFile(stem + ".json", std::vector<uint8_t>(text.begin(), text.end()));
        }
    }
    Result Orvane(const std::string& args) {
        return TestSupport::RunIn(
            dir, TestSupport::ShellQuote(std::string(ORVANE_BUILD_DIR) + "/orvane") +
                     " --backup-dir " + TestSupport::ShellQuote(dir) + " " + args);
    }
    // The stems of the files left in the folder.
    std::set<std::string> Left() {
        std::set<std::string> stems;
        for (const auto& e : fs::directory_iterator(dir))
            if (e.path().extension() != ".txt")
                stems.insert(e.path().stem().string());
        return stems;
    }
    std::string dir;
};

TEST_F(BackupsCommandTest, ListsNewestFirstWithOriginAddressNameSizeAndTime) {
    const Result r = Orvane("backups list --json");
    ASSERT_EQ(r.code, 0) << r.err;
    const auto list = nlohmann::json::parse(r.out);
    std::vector<std::string> order;
    for (const auto& b : list)
        order.push_back(fs::path(b["bin"].get<std::string>()).stem().string());
    EXPECT_EQ(order, (std::vector<std::string>{"a2", "a3", "20050415T000000Z-2-0-20-00-20-01", "b1",
                                               "a1", "a4"}));
    EXPECT_EQ(list[1]["origin"], "bmc-a");
    EXPECT_EQ(list[1]["address"], "2:0:20:00:20:01");
    EXPECT_EQ(list[1]["name"], "PSU");
    EXPECT_EQ(list[1]["size"], 2);
    EXPECT_EQ(list[1]["time"], "2005-06-01T00:00:00Z");
    EXPECT_EQ(fs::path(list[1]["cfg"].get<std::string>()).filename(), "a3.cfg");
    EXPECT_TRUE(list[2]["origin"].is_null()); // named the earlier way
    EXPECT_EQ(list[2]["address"], "2:0:20:00:20:01");
    const Result text = Orvane("backups");
    EXPECT_NE(text.out.find("bmc-a      2:0:20:00:20:01  PSU       2  2005-06-01T00:00:00Z"),
              std::string::npos)
        << text.out;
    EXPECT_NE(text.out.find("6 backups in"), std::string::npos);
}

TEST_F(BackupsCommandTest, PruneKeepsTheNewestAndEveryFrusNewest) {
    const std::string old = "20050415T000000Z-2-0-20-00-20-01";
    const struct {
        const char* args;
        std::set<std::string> left;
        int code;
    } cases[] = {
        {"--keep 1", {"a2", old, "b1", "a4"}, 0},
        {"--keep 3", {"a2", "a3", old, "b1", "a4"}, 0},
        {"--keep 0 --older-than 100000", {"a1", "a2", "a3", old, "b1", "a4"}, 0},
        {"", {"a1", "a2", "a3", old, "b1", "a4"}, 2},
        {"--keep x", {"a1", "a2", "a3", old, "b1", "a4"}, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        SetUp();
        const Result r = Orvane(std::string("backups prune ") + c.args);
        EXPECT_EQ(r.code, c.code) << r.err;
        EXPECT_EQ(Left(), c.left) << r.out;
    }
}
} // namespace
