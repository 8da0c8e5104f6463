// The command's guard on the BMC session before any session is opened: the
// session options it refuses or lets through with a warning, the settings it
// hands the driver.
#include "app/BmcAccess.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return std::to_string(n);
}

TEST(BmcAccessTest, RefusesWeakSessionsAndOpenFilesUnlessInsecure) {
    const std::string dir = TestSupport::TempDir();
    const std::string closed = dir + "/pw", open = dir + "/pw-open", kg = dir + "/kg";
    for (const auto& [path, mode] : {std::pair{closed, 0600}, {open, 0644}, {kg, 0400}}) {
        TestSupport::WriteFile(path, {'x', '\n'});
        chmod(path.c_str(), static_cast<mode_t>(mode));
    }
    // A file another user owns (when this test may give one away).
    const std::string foreign = dir + "/pw-foreign";
    TestSupport::WriteFile(foreign, {'x', '\n'});
    chmod(foreign.c_str(), 0644);
    const int foreignCode = chown(foreign.c_str(), 65534, 65534) == 0 ? 3 : 0;
    if (!foreignCode)
        chmod(foreign.c_str(), 0600);
    unsetenv("ORVANE_IPMI_HOST");
    unsetenv("ORVANE_IPMI_INTERFACE");
    struct Case {
        std::function<void(Options&)> set;
        const char* least;
        int code;
        const char* said;     // in standard error; "" for nothing at all
        const char* warnings; // how many warning lines
    };
    const Case cases[] = {
        {[](Options& o) { o.privilege = "user"; }, "operator", 3,
         "set --commit needs operator privilege; --privilege user lacks it", "0"},
        {[](Options& o) { o.privilege = "admin"; }, "operator", 0, "", "0"},
        {[](Options& o) { o.privilege = "operator"; }, "user", 0, "", "0"},
        {[](Options& o) { o.cipherSuite = "17"; }, "user", 0, "", "0"},
        {[](Options& o) { o.cipherSuite = "0"; }, "user", 3,
         "cipher suite 0 has no integrity or no encryption", "0"},
        {[](Options& o) { o.cipherSuite = "0x10"; }, "user", 3, "cipher suite 16 ", "0"},
        {[](Options& o) { o.cipherSuite = "0", o.insecure = true; }, "user", 0,
         "warning: cipher suite 0 ", "1"},
        {[](Options& o) { o.host = "bmc", o.interface = "lan"; }, "user", 0,
         "warning: IPMI 1.5 LAN (--interface lan) encrypts nothing", "1"},
        {[](Options& o) { o.interface = "lan"; }, "user", 0, "", "0"}, // no BMC over LAN
        {[](Options& o) { o.host = "bmc", o.interface = "lan", o.authType = "straight"; }, "user",
         3, "the authentication type straight sends the password in the clear", "1"},
        {[](Options& o) {
             o.host = "bmc", o.interface = "lan", o.authType = "none", o.insecure = true;
         },
         "user", 0, "warning: the authentication type none", "2"},
        {[&](Options& o) { o.passwordFile = closed, o.kgFile = kg; }, "user", 0, "", "0"},
        {[&](Options& o) { o.passwordFile = open; }, "user", 3,
         "is open to group or others (mode 0644; chmod 600 it); --insecure uses it anyway", "0"},
        {[&](Options& o) { o.kgFile = open, o.insecure = true; }, "user", 0,
         "warning: the K_g file", "1"},
        {[&](Options& o) { o.kgFile = dir + "/none"; }, "user", 0, "", "0"}, // the driver's to say
        {[&](Options& o) { o.kgFile = dir; }, "user", 3, "is not a regular file", "0"},
        {[&](Options& o) { o.passwordFile = foreign; }, "user", foreignCode,
         foreignCode ? "is owned by another user (uid 65534)" : "", "0"},
    };
    for (const Case& c : cases) {
        Options o;
        c.set(o);
        ::testing::internal::CaptureStderr();
        const int code = BmcAccess::Prepare(o, c.least, "set --commit", false);
        const std::string err = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(code, c.code) << err;
        if (*c.said)
            EXPECT_NE(err.find(c.said), std::string::npos) << err;
        else
            EXPECT_EQ(err, "");
        EXPECT_EQ(Count(err, "orvane: warning: "), c.warnings) << err;
    }
    // Workers of --hosts cannot prompt.
    Options prompt;
    prompt.passwordPrompt = true;
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(BmcAccess::Prepare(prompt, "user", "scan", true), 3);
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("--password-file"), std::string::npos);
}

TEST(BmcAccessTest, SessionOptionsOnTheCommandLineAndInTheEnvironment) {
    const struct {
        std::vector<std::string> args;
        const char* error; // "" : parsed
    } cases[] = {
        {{"scan", "--cipher-suite", "20"}, "--cipher-suite takes a cipher suite id"},
        {{"scan", "--privilege", "root"}, "--privilege is user, operator or admin"},
        {{"scan", "--auth-type", "rc4", "--interface", "lan"}, "--auth-type is none"},
        {{"scan", "--auth-type", "md5"}, "--auth-type needs --interface lan"},
        {{"scan", "--password-prompt", "--password-file", "f"}, "exclude each other"},
        {{"scan", "--interface", "lan", "--kg-file", "k"}, "need --interface lanplus"},
        {{"scan", "--cipher-suite", "0x11", "--kg-file", "k", "--privilege", "admin", "--insecure"},
         ""},
    };
    for (const auto& c : cases) {
        std::vector<char*> argv{const_cast<char*>("orvane")};
        for (const auto& a : c.args)
            argv.push_back(const_cast<char*>(a.c_str()));
        Options o;
        std::string error;
        EXPECT_EQ(o.Parse(static_cast<int>(argv.size()), argv.data(), &error), !*c.error)
            << c.args.back();
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
        if (*c.error)
            continue;
        // The driver reads decimal suites; a fixed level and the least one apart.
        o.ExportEnvironment("operator");
        for (const auto& [name, value] : {std::pair{"ORVANE_IPMI_CIPHER", "17"},
                                          {"ORVANE_IPMI_KG_FILE", "k"},
                                          {"ORVANE_IPMI_PRIVILEGE", "admin"},
                                          {"ORVANE_IPMI_LEAST_PRIVILEGE", "operator"},
                                          {"ORVANE_IPMI_INSECURE", "1"}}) {
            const char* got = std::getenv(name);
            EXPECT_STREQ(got ? got : "(unset)", value) << name;
            unsetenv(name);
        }
    }
}

} // namespace
