#include "drivers/freeipmi/IpmiSession.h"
#include "support/IpmiDefs.h"

#include "drivers/KsbApi.h"
#include "drivers/freeipmi/DriverLog.h"

#include <freeipmi/freeipmi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace {

// libfreeipmi retransmits a LAN request after this long without an answer.
constexpr unsigned kRetransmitMs = 500;
// Some BMCs (ipmi_sim among them) answer the IPMI 1.5 session's first request,
// Set Session Privilege Level, with the session sequence number of their
// Activate Session answer. libfreeipmi drops that answer as a repeat (it has
// no switch to accept it) and waits for its retransmission, so every LAN 1.5
// session set-up costs one retransmission timeout; it is kept short there.
constexpr unsigned kLanRetransmitMs = 200;
// After a failed open, requests fail at once with its result for this long.
constexpr std::chrono::seconds kOpenRetryPause{10};

std::string Hex(uint8_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "%02X", value);
    return text;
}

} // namespace

IpmiSession::~IpmiSession() {
    Close();
}

void IpmiSession::Close() {
    if (context_) {
        ipmi_ctx_close(context_);
        ipmi_ctx_destroy(context_);
    }
    context_ = nullptr;
}

uint32_t IpmiSession::ResultOf(int errnum) {
    switch (errnum) {
    case IPMI_ERR_CONNECTION_TIMEOUT:
    case IPMI_ERR_SESSION_TIMEOUT:
    case IPMI_ERR_DRIVER_TIMEOUT:
    case IPMI_ERR_MESSAGE_TIMEOUT:
    case IPMI_ERR_PASSWORD_VERIFICATION_TIMEOUT:
        return KSB_RESULT_TIMEOUT;
    case IPMI_ERR_PARAMETERS:
        return KSB_RESULT_MALFORMED;
    default:
        return KSB_RESULT_TRANSPORT;
    }
}

uint32_t IpmiSession::Failed(const std::string& what) {
    int errnum = context_ ? ipmi_ctx_errnum(context_) : IPMI_ERR_OUT_OF_MEMORY;
    const char* text = context_ ? ipmi_ctx_errormsg(context_) : "out of memory";
    DriverLog::Failure(what + " (" + target_ + "): " + (text ? text : "unknown error"));
    // A LAN session whose answers stopped is gone; the next request opens a new one.
    if (errnum == IPMI_ERR_SESSION_TIMEOUT || errnum == IPMI_ERR_CONNECTION_TIMEOUT ||
        errnum == IPMI_ERR_DEVICE_NOT_OPEN)
        Close();
    return ResultOf(errnum);
}

uint32_t IpmiSession::Open(uint32_t timeoutMs) {
    DriverSettings::Settings settings;
    std::string why;
    if (!DriverSettings::FromEnvironment(&settings, &why)) {
        DriverLog::Failure(why);
        return KSB_RESULT_TRANSPORT;
    }
    context_ = ipmi_ctx_create();
    if (!context_) {
        target_ = "no context";
        return Failed("cannot create a libfreeipmi context");
    }
    unsigned flags = DriverLog::Level() >= 3 ? IPMI_FLAGS_DEBUG_DUMP : IPMI_FLAGS_DEFAULT;
    // libfreeipmi gives up on a LAN request after the session timeout.
    unsigned sessionTimeout = std::max<unsigned>(timeoutMs, 2 * kRetransmitMs);
    unsigned retransmitMs =
        settings.interface == DriverSettings::Interface::Lan ? kLanRetransmitMs : kRetransmitMs;
    const char* user = settings.user.empty() ? nullptr : settings.user.c_str();
    const char* password = settings.password.empty() ? nullptr : settings.password.c_str();
    int opened = -1;
    switch (settings.interface) {
    case DriverSettings::Interface::InBand: {
        target_ = "in-band";
        ipmi_driver_type_t type = IPMI_DEVICE_UNKNOWN;
        opened = ipmi_ctx_find_inband(context_, &type, 0, 0, 0, nullptr, 0, flags);
        if (opened == 0) {
            DriverLog::Failure("no in-band IPMI interface found (no /dev/ipmi0, KCS, SSIF); "
                               "set ORVANE_IPMI_HOST to reach a BMC over LAN");
            Close();
            return KSB_RESULT_TRANSPORT;
        }
        break;
    }
    case DriverSettings::Interface::Lan:
        target_ = "lan " + settings.host;
        opened = ipmi_ctx_open_outofband(context_, settings.host.c_str(), user, password,
                                         IPMI_AUTHENTICATION_TYPE_MD5, settings.privilege,
                                         sessionTimeout, retransmitMs, 0, flags);
        break;
    case DriverSettings::Interface::LanPlus:
        target_ = "lanplus " + settings.host;
        // The Open Session request names the level wanted rather than the
        // highest one: some BMCs (ipmi_sim among them) grant nothing to the
        // latter, and a second open would cost its round trips on every run.
        opened = ipmi_ctx_open_outofband_2_0(
            context_, settings.host.c_str(), user, password, nullptr, 0, settings.privilege,
            settings.cipher, sessionTimeout, retransmitMs,
            IPMI_WORKAROUND_FLAGS_OUTOFBAND_2_0_OPEN_SESSION_PRIVILEGE, flags);
        // A BMC that refuses that form is asked the usual way.
        if (opened < 0 &&
            ipmi_ctx_errnum(context_) == IPMI_ERR_PRIVILEGE_LEVEL_CANNOT_BE_OBTAINED) {
            DriverLog::Request("the BMC refused the privilege named at Open Session (" + target_ +
                               "); asking for the highest level");
            ipmi_ctx_destroy(context_);
            context_ = ipmi_ctx_create();
            if (!context_)
                return Failed("cannot create a libfreeipmi context");
            opened = ipmi_ctx_open_outofband_2_0(context_, settings.host.c_str(), user, password,
                                                 nullptr, 0, settings.privilege, settings.cipher,
                                                 sessionTimeout, retransmitMs, 0, flags);
        }
        break;
    }
    // The copy of the password is no longer needed.
    std::fill(settings.password.begin(), settings.password.end(), '\0');
    if (opened < 0) {
        uint32_t result = Failed("cannot open the IPMI session");
        Close();
        // Bad parameters here are settings (a password too long, say), not a request.
        return result == KSB_RESULT_MALFORMED ? KSB_RESULT_TRANSPORT : result;
    }
    ++opens_;
    return KSB_RESULT_OK;
}

uint32_t IpmiSession::Send(uint8_t channel, bool bridged, uint8_t responderAddress, uint8_t netFn,
                           uint8_t lun, uint8_t command, const uint8_t* data, uint32_t dataLength,
                           uint32_t timeoutMs, uint8_t* completionCode,
                           std::vector<uint8_t>* response) {
    bridgeRefused_ = false;
    if (!context_) {
        // A session that could not be opened is not tried again at once: a
        // BMC that is away would otherwise cost every request its timeout.
        auto now = std::chrono::steady_clock::now();
        if (openFailed_ != KSB_RESULT_OK && now < retryAfter_)
            return openFailed_;
        openFailed_ = Open(timeoutMs);
        if (openFailed_ != KSB_RESULT_OK) {
            retryAfter_ = std::chrono::steady_clock::now() + kOpenRetryPause;
            return openFailed_;
        }
    }
    uint8_t request[1 + 255];
    request[0] = command;
    std::copy(data, data + dataLength, request + 1);
    uint8_t answer[1024];
    bool ipmb = bridged || responderAddress != Ipmi::kBmcAddress;
    ++requests_;
    int length;
    if (ipmb) {
        ++bridged_;
        length = ipmi_cmd_raw_ipmb(context_, channel, responderAddress, lun, netFn, request,
                                   dataLength + 1, answer, sizeof answer);
    } else {
        length = ipmi_cmd_raw(context_, lun, netFn, request, dataLength + 1, answer, sizeof answer);
    }
    std::string what = "rs=" + Hex(responderAddress) + (ipmb ? " ch=" + Hex(channel) : "") +
                       " netfn=" + Hex(netFn) + " cmd=" + Hex(command);
    if (length < 0) {
        // Over IPMB, a completion code error is the BMC's answer to the Send
        // Message that carried the request; the target's own code would be in
        // the answer. The target did not answer.
        if (ipmb && ipmi_ctx_errnum(context_) == IPMI_ERR_BAD_COMPLETION_CODE) {
            bridgeRefused_ = true;
            DriverLog::Failure("request " + what + ": the BMC could not pass it on (" + target_ +
                               ")");
            return KSB_RESULT_TIMEOUT;
        }
        return Failed("request " + what + " failed");
    }
    // An answer holds at least the command and the completion code.
    if (length < 2) {
        DriverLog::Failure("request " + what + ": an answer of " + std::to_string(length) +
                           " bytes has no completion code");
        return KSB_RESULT_TRANSPORT;
    }
    *completionCode = answer[1];
    response->assign(answer + 2, answer + length);
    DriverLog::Request(what + " -> cc=" + Hex(answer[1]) + " " + std::to_string(length - 2) +
                       " bytes");
    return KSB_RESULT_OK;
}
