// The worker pool: results per job in the order jobs end, exit codes and
// output kept apart, deadlines that kill, and no more workers at once than
// the fanout.
#include "fleet/Fleet.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace {
using namespace std::chrono_literals;

FleetJob Shell(const std::string& host, const std::string& script) {
    return {host, {"/bin/sh", "-c", script}};
}

std::vector<FleetResult> RunAll(Fleet fleet, const std::vector<FleetJob>& jobs) {
    std::vector<FleetResult> results;
    fleet.Run(jobs, [&](const FleetResult& r, size_t ended) {
        EXPECT_EQ(ended, results.size() + 1);
        results.push_back(r);
    });
    return results;
}

TEST(FleetTest, ReportsEveryJobAsItEnds) {
    const auto results = RunAll(Fleet(4, 5s), {Shell("slow", "sleep 0.3; echo late"),
                                               Shell("fails", "echo why >&2; exit 3"),
                                               Shell("fast", "printf 'a\\nb'"),
                                               {"missing", {"/nonexistent/worker"}}});
    ASSERT_EQ(results.size(), 4u);
    EXPECT_EQ(results.back().host, "slow");
    std::map<std::string, FleetResult> by;
    for (const auto& r : results)
        by[r.host] = r;
    const struct {
        const char* host;
        int exitCode;
        const char* out;
        const char* err;
    } expected[] = {{"slow", 0, "late\n", ""},
                    {"fails", 3, "", "why\n"},
                    {"fast", 0, "a\nb", ""},
                    {"missing", 127, "", ""}};
    for (const auto& e : expected) {
        const FleetResult& r = by[e.host];
        EXPECT_EQ(r.exitCode, e.exitCode) << e.host;
        EXPECT_EQ(r.out, e.out) << e.host;
        EXPECT_EQ(r.err, e.err) << e.host;
        EXPECT_FALSE(r.timedOut) << e.host;
    }
    EXPECT_GE(by["slow"].seconds, 0.3);
}

TEST(FleetTest, KillsWorkersAtTheirDeadline) {
    // Workers that hang, with or without output, end at the deadline.
    const auto results = RunAll(Fleet(2, 300ms), {Shell("hangs", "echo started; exec sleep 30"),
                                                  Shell("quiet", "exec sleep 30 >/dev/null 2>&1"),
                                                  Shell("ok", "true")});
    ASSERT_EQ(results.size(), 3u);
    for (const auto& r : results) {
        const bool hangs = r.host != "ok";
        EXPECT_EQ(r.timedOut, hangs) << r.host;
        EXPECT_EQ(r.exitCode, hangs ? -1 : 0) << r.host;
        EXPECT_LT(r.seconds, hangs ? 2.0 : 1.0) << r.host;
    }
    EXPECT_EQ(results[0].out, "started\n");
}

TEST(FleetTest, RunsNoMoreThanTheFanoutAtOnce) {
    // Each worker notes its start and end in a shared file; count overlaps.
    const std::string log = ::testing::TempDir() + "/fleet-fanout.log";
    std::remove(log.c_str());
    std::vector<FleetJob> jobs;
    for (int i = 0; i < 6; ++i)
        jobs.push_back(
            Shell("h" + std::to_string(i), "echo + >>" + log + "; sleep 0.1; echo - >>" + log));
    RunAll(Fleet(2, 5s), jobs);
    std::FILE* f = std::fopen(log.c_str(), "r");
    ASSERT_NE(f, nullptr);
    int running = 0, most = 0;
    for (int c; (c = std::fgetc(f)) != EOF;)
        if (c == '+' || c == '-')
            most = std::max(most, running += c == '+' ? 1 : -1);
    std::fclose(f);
    EXPECT_EQ(running, 0);
    EXPECT_EQ(most, 2);
}
} // namespace
