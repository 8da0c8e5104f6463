// orvane backups list and prune on a folder of made-up backups, some with a
// record and one named the older way.
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <set>
#include <string>

namespace {
namespace fs = std::filesystem;

TEST(BackupsCommandTest, ListsNewestFirstAndPruneKeepsEveryFrusNewest) {
    const std::string old = "20050415T000000Z-2-0-20-00-20-01"; // no record, origin unknown
    const struct {
        const char *stem, *origin, *address, *time;
    } made[] = {{"a1", "bmc-a", "2:0:20:00:20:01", "2005-01-01T00:00:00Z"},
                {"a2", "bmc-a", "2:0:20:00:20:01", "2030-01-01T00:00:00Z"},
                {"a3", "bmc-a", "2:0:20:00:20:01", "2005-06-01T00:00:00Z"},
                {"b1", "bmc-b", "2:0:20:00:20:01", "2005-02-01T00:00:00Z"},
                {"a4", "bmc-a", "2:0:20:00:20:02", "2004-12-01T00:00:00Z"}};
    const auto fill = [&](const std::string& dir) {
        TestSupport::WriteFile(dir + "/" + old + ".bin", {0xFF});
        for (const auto& b : made) {
            const std::string stem = dir + "/" + b.stem,
                              text = nlohmann::json{{"orvane_backup", 1},
                                                    {"origin", b.origin},
                                                    {"address", b.address},
                                                    {"name", "PSU"},
                                                    {"time", b.time},
                                                    {"size", 1},
                                                    {"bin", b.stem + std::string(".bin")},
                                                    {"cfg", nullptr}}
                                         .dump();
            TestSupport::WriteFile(stem + ".bin", {0xFF});
            TestSupport::WriteFile(stem + ".json", std::vector<uint8_t>(text.begin(), text.end()));
        }
    };
    const auto orvane = [](const std::string& dir, const std::string& args) {
        return TestSupport::Orvane(dir, "--backup-dir . backups " + args);
    };
    std::string dir = TestSupport::TempDir();
    fill(dir);
    const auto r = orvane(dir, "list --json");
    ASSERT_EQ(r.code, 0) << r.err;
    const auto list = nlohmann::json::parse(r.out);
    std::string order;
    for (const auto& b : list)
        order += fs::path(b["bin"].get<std::string>()).stem().string() + " ";
    EXPECT_EQ(order, "a2 a3 " + old + " b1 a1 a4 ");
    EXPECT_EQ(list[1].dump(),
              "{\"address\":{\"bus\":0,\"controller\":32,\"device_address\":32,"
              "\"device_id\":1,\"lun\":0,\"nvs_type\":2,\"text\":\"2:0:20:00:20:01\"},"
              "\"bin\":\"./a3.bin\",\"cfg\":null,\"name\":\"PSU\",\"origin\":\"bmc-a\","
              "\"size\":1,\"time\":\"2005-06-01T00:00:00Z\"}");
    EXPECT_TRUE(list[2]["origin"].is_null());
    EXPECT_EQ(list[2]["address"]["text"], "2:0:20:00:20:01");

    const struct {
        const char* args;
        std::set<std::string> left;
        int code;
    } cases[] = {
        {"--keep 1", {"a2", old, "b1", "a4"}, 0},
        {"--keep 3", {"a2", "a3", old, "b1", "a4"}, 0},
        {"--keep 0 --older-than 100000", {"a1", "a2", "a3", old, "b1", "a4"}, 0},
        {"", {"a1", "a2", "a3", old, "b1", "a4"}, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        dir = TestSupport::TempDir();
        fill(dir);
        EXPECT_EQ(orvane(dir, std::string("prune ") + c.args).code, c.code);
        std::set<std::string> left;
        for (const auto& e : fs::directory_iterator(dir))
            if (e.path().extension() != ".txt")
                left.insert(e.path().stem().string());
        EXPECT_EQ(left, c.left);
    }
}
} // namespace
