// The one libfreeipmi session of the driver module: opened on the first
// request (in-band, IPMI 1.5 LAN or IPMI 2.0 LAN+, as the settings say) and
// kept until the module is unloaded or the connection is lost. When an open
// fails, requests of the next 10 seconds fail with the same result at once.
#pragma once
#include "drivers/freeipmi/DriverSettings.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

struct ipmi_ctx;

class IpmiSession {
  public:
    IpmiSession() = default;
    IpmiSession(const IpmiSession&) = delete;
    IpmiSession& operator=(const IpmiSession&) = delete;
    ~IpmiSession();

    // Sends one request and waits for its answer. A responder other than the
    // BMC (0x20), or any responder when bridged is set, is reached over IPMB
    // on the channel given. Returns a driver result (KSB_RESULT_*); with
    // KSB_RESULT_OK, *completionCode and *response hold the answer.
    uint32_t Send(uint8_t channel, bool bridged, uint8_t responderAddress, uint8_t netFn,
                  uint8_t lun, uint8_t command, const uint8_t* data, uint32_t dataLength,
                  uint32_t timeoutMs, uint8_t* completionCode, std::vector<uint8_t>* response);

    void Close();

    // True when the last request went over IPMB and the BMC refused to pass
    // it on (its Send Message failed): the target did not take the request.
    bool BridgeRefused() const { return bridgeRefused_; }

    // Requests put on the wire (session setup not counted), of which bridged.
    uint64_t RequestCount() const { return requests_; }
    uint64_t BridgedCount() const { return bridged_; }
    uint64_t OpenCount() const { return opens_; }

    // The driver result for a libfreeipmi error number.
    static uint32_t ResultOf(int errnum);

  private:
    // Opens the session at the settings' privilege, or at `atLeast` when
    // that is more and the settings do not fix the level.
    uint32_t Open(uint32_t timeoutMs, uint8_t atLeast);
    int OpenLan(const DriverSettings::Settings& settings, uint8_t privilege, unsigned timeout,
                unsigned flags);
    int OpenLanPlus(const DriverSettings::Settings& settings, uint8_t privilege, unsigned timeout,
                    unsigned flags, uint8_t* cipher);
    // The request on the wire, its answer in *completionCode and *response.
    uint32_t Transmit(uint8_t channel, bool ipmb, uint8_t responderAddress, uint8_t netFn,
                      uint8_t lun, uint8_t command, const uint8_t* data, uint32_t dataLength,
                      uint8_t* completionCode, std::vector<uint8_t>* response);
    // Reopens the session at a higher privilege after the BMC refused a
    // request for lack of it. False when the level is fixed or not granted.
    bool Raise(uint8_t needed, uint32_t timeoutMs);
    // Finishes an open: logs the session or why it failed.
    uint32_t Opened(int opened, const DriverSettings::Settings& settings, uint8_t privilege,
                    int cipher, unsigned timeout);
    // Why an open failed, for the log.
    std::string OpenRefusal(const DriverSettings::Settings& settings, uint8_t privilege, int cipher,
                            unsigned timeout) const;
    // Maps the context's last error to a result, logs it with the context's
    // text and drops a session the error has made unusable.
    uint32_t Failed(const std::string& what);

    ipmi_ctx* context_ = nullptr;
    std::string target_;     // "lan host", "lanplus host" or "in-band", for log lines
    uint8_t privilege_ = 0;  // the open session's level
    uint8_t wanted_ = 0;     // the least level a reopened session needs
    uint8_t refused_ = 0xFF; // a level the BMC did not grant (0xFF: none)
    bool privilegeFixed_ = false;
    uint32_t openFailed_ = 0; // the result of the last failed open
    std::chrono::steady_clock::time_point retryAfter_{};
    bool bridgeRefused_ = false;
    uint64_t requests_ = 0;
    uint64_t bridged_ = 0;
    uint64_t opens_ = 0;
};
