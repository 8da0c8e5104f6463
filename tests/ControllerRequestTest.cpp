// SendRequest and the driver module loading, against a recording test driver.
#include "system/ControllerRequest.h"
#include "TestSupport.h"
#include "drivers/KsbApi.h"
#include "support/Trace.h"
#include "system/DriverModule.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <filesystem>
#include <string>
#include <vector>

struct RecordedRequest {
    KsbRequestBlock block;
    uint8_t data[256];
    uint32_t timeoutMs;
    uint32_t responseCapacity;
};

namespace {

class ControllerRequestTest : public ::testing::Test {
  protected:
    void TearDown() override {
        DriverModule::Unload();
        unsetenv("ORVANE_DRIVER");
    }
    // Loads the recording driver through a first request and returns its handle.
    void* UseRecordingDriver() {
        setenv("ORVANE_DRIVER", ORVANE_RECORDING_DRIVER, 1);
        ControllerRequest request{}, response{};
        SendRequest(&request, &response, kRequestTimeoutMs);
        return dlopen(ORVANE_RECORDING_DRIVER, RTLD_NOW | RTLD_NOLOAD);
    }
};

TEST_F(ControllerRequestTest, DriverReceivesThePackedBlockAndTheAnswerComesBack) {
    void* driver = UseRecordingDriver();
    ASSERT_NE(driver, nullptr);
    auto last =
        reinterpret_cast<const RecordedRequest* (*)()>(dlsym(driver, "RecordingDriverLast"));
    auto answer = reinterpret_cast<void (*)(uint32_t, uint8_t, const uint8_t*, uint32_t)>(
        dlsym(driver, "RecordingDriverAnswer"));
    const uint8_t answerBytes[] = {0x08, 0x01, 0x02};
    answer(0, 0xC9, answerBytes, 3);

    ControllerRequest request{0x20, 0x0A, 0x01, 0x11, {0x05, 0x10, 0x00, 0x08}, 4, 0, {}};
    ControllerRequest response{};
    std::memset(response.data, 0xEE, sizeof response.data);
    ASSERT_EQ(SendRequest(&request, &response, 5000), 0u);

    const RecordedRequest* seen = last();
    EXPECT_EQ(sizeof(KsbRequestBlock), 5 + sizeof(void*) + 4);
    // Packed members are read by value: references to them would be misaligned.
    const uint8_t* dataPointer = seen->block.data;
    EXPECT_EQ(dataPointer, request.data);
    EXPECT_EQ(
        std::vector<uint32_t>({seen->block.command, seen->block.responderAddress,
                               seen->block.busType, seen->block.netFn, seen->block.lun,
                               seen->block.dataLength, seen->timeoutMs, seen->responseCapacity}),
        std::vector<uint32_t>({0x11, 0x20, 0, 0x0A, 0x01, 4, 5000, 64}));
    // The answer, the rest of the data zeroed.
    EXPECT_EQ(std::vector<uint32_t>({response.responderAddress, response.netFn, response.lun,
                                     response.command, response.completionCode, response.dataLength,
                                     response.data[2], response.data[3]}),
              std::vector<uint32_t>({0x20, 0x0A, 0x01, 0x11, 0xC9, 3, 0x02, 0x00}));

    // A driver's own result passes up unchanged.
    answer(0x12345678, 0, nullptr, 0);
    EXPECT_EQ(SendRequest(&request, &response, 5000), 0x12345678u);
    dlclose(driver);
}

TEST_F(ControllerRequestTest, ModulesByPathOrShortNameAndWhatIsMissing) {
    TestSupport::InTempDir folder;
    setenv("ORVANE_DRIVER", "/nonexistent/orvane-driver.so", 1);
    ControllerRequest request{}, response{};
    EXPECT_EQ(SendRequest(&request, &response, 5000), KSB_RESULT_NO_DRIVER);
    std::string log = TestSupport::ReadText("DBGLOG.txt");
    EXPECT_NE(log.find(std::string("C\0a\0n\0n\0o\0t\0 \0l\0o\0a\0d\0", 22)), std::string::npos);

    DriverModule::Unload();
    setenv("ORVANE_DRIVER", ORVANE_HALF_DRIVER, 1);
    EXPECT_EQ(SendRequest(&request, &response, 5000), KSB_RESULT_NO_FUNCTION);
    uint8_t message[64];
    uint32_t length = 64, flags = 0;
    EXPECT_EQ(DriverModule::ReceiveMessage(message, &length, 10, &flags, 0),
              KSB_RESULT_NO_FUNCTION);
    // Short names resolve beside the library.
    setenv("ORVANE_DRIVER", "sim", 1);
    std::string sim = DriverModule::ModulePath();
    EXPECT_EQ(sim.substr(sim.rfind('/') + 1), "orvane-driver-sim.so");
    unsetenv("ORVANE_DRIVER");
    std::string byDefault = DriverModule::ModulePath();
    EXPECT_EQ(byDefault.substr(byDefault.rfind('/') + 1), "orvane-driver-freeipmi.so");
    setenv("ORVANE_DRIVER", "/opt/x.so", 1);
    EXPECT_EQ(DriverModule::ModulePath(), "/opt/x.so");
}

} // namespace
