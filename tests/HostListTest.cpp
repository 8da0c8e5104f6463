// Host lists of the fleet commands: ranges, padding, lists in brackets, host
// files, and the malformed lists they refuse.
#include "fleet/HostList.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
using Hosts = std::vector<std::string>;

TEST(HostListTest, ExpandsPatterns) {
    const struct {
        const char* text;
        Hosts hosts;
    } cases[] = {
        {"10.1.2.3", {"10.1.2.3"}},
        {"bmc[01-03].example.net,10.1.2.3",
         {"bmc01.example.net", "bmc02.example.net", "bmc03.example.net", "10.1.2.3"}},
        {"node[1-3,7]", {"node1", "node2", "node3", "node7"}},
        {"n[8-11]", {"n8", "n9", "n10", "n11"}},            // no padding without a leading zero
        {"n[098-101]", {"n098", "n099", "n100", "n101"}},   // width of the lower bound
        {"r[1-2]c[0-1]", {"r1c0", "r1c1", "r2c0", "r2c1"}}, // groups multiply
        {" a , b:623 ,a", {"a", "b:623"}},                  // blanks trimmed, each host once
        {"[5]", {"5"}},
    };
    for (const auto& c : cases) {
        Hosts hosts;
        std::string error;
        EXPECT_TRUE(HostList::Expand(c.text, &hosts, &error)) << c.text << ": " << error;
        EXPECT_EQ(hosts, c.hosts) << c.text;
    }
}

TEST(HostListTest, RefusesMalformedLists) {
    const struct {
        const char* text;
        const char* reason;
    } cases[] = {
        {"", "empty host"},
        {"a,,b", "empty host"},
        {"a b", "blank inside"},
        {"n[1-3", "unbalanced"},
        {"n1-3]", "unbalanced"},
        {"n[[1]]", "unbalanced"},
        {"n[]", "empty brackets"},
        {"n[3-1]", "backwards"},
        {"n[a-c]", "not a number"},
        {"n[1-]", "not a number"},
        {"n[0-99999]", "more than 65536"},
        {"a[0-999]b[0-999]", "more than 65536"},
        {"n[1-9999999999]", "not a number"}, // too long a number to be meant
    };
    for (const auto& c : cases) {
        Hosts hosts;
        std::string error;
        EXPECT_FALSE(HostList::Expand(c.text, &hosts, &error)) << c.text;
        EXPECT_NE(error.find(c.reason), std::string::npos) << c.text << ": " << error;
    }
}

TEST(HostListTest, ParsesHostFiles) {
    std::vector<HostEntry> entries;
    std::string error;
    ASSERT_TRUE(HostList::ParseFile("# rack 4\n"
                                    "bmc[1-2]:6230 admin /etc/orvane/rack4.pw\n"
                                    "\n"
                                    "  10.1.2.3\r\n"
                                    "bmc1:6230 admin /etc/orvane/rack4.pw\n"
                                    "bmc3 - - 17\n"
                                    "bmc4 ops /p - /etc/orvane/bmc4.kg\n",
                                    &entries, &error))
        << error;
    const std::vector<HostEntry> expected = {{"bmc1:6230", "admin", "/etc/orvane/rack4.pw", "", ""},
                                             {"bmc2:6230", "admin", "/etc/orvane/rack4.pw", "", ""},
                                             {"10.1.2.3", "", "", "", ""},
                                             {"bmc3", "", "", "17", ""},
                                             {"bmc4", "ops", "/p", "", "/etc/orvane/bmc4.kg"}};
    EXPECT_EQ(entries, expected);

    const struct {
        const char* text;
        const char* error;
    } bad[] = {{"a\nb user\n", "line 2: expected"},
               {"a user pw 3 kg extra\n", "line 1: expected"},
               {"a user pw 20\n", "line 1: the cipher suite \"20\""},
               {"a user pw x3 kg\n", "line 1: the cipher suite \"x3\""},
               {"ok\n\nn[2-1]\n", "line 3: range 2-1 runs backwards"},
               // The same host again is kept once; with other credentials it
               // is refused, as no line can be taken for the right one.
               {"n[1-2] u /p\nn2 v /p\n", "line 2: n2 is named before with other credentials"}};
    for (const auto& c : bad) {
        entries.clear();
        EXPECT_FALSE(HostList::ParseFile(c.text, &entries, &error)) << c.text;
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }
}
} // namespace
