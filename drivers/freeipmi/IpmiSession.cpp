#include "drivers/freeipmi/IpmiSession.h"
#include "support/IpmiDefs.h"

#include "drivers/KsbApi.h"
#include "drivers/freeipmi/CipherSuites.h"
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

// OpenLanPlus's result when the BMC offers only weak suites (logged there).
constexpr int kWeakOnly = -2;
// Asking which suites the BMC offers takes at most this long (three tries):
// a BMC that does not answer costs it once before suite 3 is asked for.
constexpr unsigned kSuitesTimeoutMs = 1500;

// Asks the BMC which cipher suites it offers, with Get Channel Cipher Suites
// outside any session (the request needs none). False when it does not answer.
bool AskCipherSuites(const std::string& host, unsigned timeoutMs, std::vector<uint8_t>* offered) {
    ipmi_ctx_t context = ipmi_ctx_create();
    if (!context)
        return false;
    std::vector<uint8_t> records;
    bool answered = false;
    if (ipmi_ctx_open_outofband(context, host.c_str(), nullptr, nullptr,
                                IPMI_AUTHENTICATION_TYPE_NONE, IPMI_PRIVILEGE_LEVEL_USER,
                                std::min(timeoutMs, kSuitesTimeoutMs), kRetransmitMs, 0,
                                IPMI_FLAGS_NOSESSION) == 0) {
        for (uint8_t index = 0; index <= CipherSuites::kLastListIndex; ++index) {
            std::vector<uint8_t> request = CipherSuites::Request(index);
            request.insert(request.begin(), Ipmi::kCmdGetChannelCipherSuites);
            uint8_t answer[64];
            // The answer: command, completion code, channel, then the piece.
            const int length =
                ipmi_cmd_raw(context, 0, Ipmi::kNetFnApp, request.data(),
                             static_cast<unsigned>(request.size()), answer, sizeof answer);
            if (length < 3 || answer[1] != Ipmi::kCcOk)
                break;
            answered = true;
            records.insert(records.end(), answer + 3, answer + length);
            if (static_cast<size_t>(length - 3) < CipherSuites::kPieceSize)
                break;
        }
        ipmi_ctx_close(context);
    }
    ipmi_ctx_destroy(context);
    *offered = CipherSuites::ParseRecords(records);
    return answered;
}

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

int IpmiSession::OpenLan(const DriverSettings::Settings& settings, uint8_t privilege,
                         unsigned timeout, unsigned flags) {
    const char* user = settings.user.empty() ? nullptr : settings.user.c_str();
    const char* password = settings.password.empty() ? nullptr : settings.password.c_str();
    return ipmi_ctx_open_outofband(context_, settings.host.c_str(), user, password,
                                   settings.authType, privilege, timeout, kLanRetransmitMs, 0,
                                   flags);
}

int IpmiSession::OpenLanPlus(const DriverSettings::Settings& settings, uint8_t privilege,
                             unsigned timeout, unsigned flags, uint8_t* cipher) {
    if (settings.cipher) {
        *cipher = *settings.cipher;
    } else {
        std::vector<uint8_t> offered;
        if (!AskCipherSuites(settings.host, timeout, &offered)) {
            *cipher = CipherSuites::kFallback;
            DriverLog::Note("the BMC did not say which cipher suites it offers (" + target_ +
                            "); asking for suite " + std::to_string(*cipher));
        } else if (auto chosen = CipherSuites::Choose(offered)) {
            *cipher = *chosen;
        } else {
            DriverLog::Failure("cannot open the IPMI session (" + target_ +
                               "): the BMC offers only cipher suites without integrity or "
                               "confidentiality (" +
                               CipherSuites::List(offered) +
                               "); name one with ORVANE_IPMI_CIPHER and ORVANE_IPMI_INSECURE=1 "
                               "(orvane: --cipher-suite N --insecure) to use it anyway");
            return kWeakOnly;
        }
    }
    const char* user = settings.user.empty() ? nullptr : settings.user.c_str();
    const char* password = settings.password.empty() ? nullptr : settings.password.c_str();
    const unsigned char* kg = settings.kg.empty() ? nullptr : settings.kg.data();
    const auto kgLength = static_cast<unsigned>(settings.kg.size());
    // The Open Session request names the level wanted rather than the
    // highest one: some BMCs (ipmi_sim among them) grant nothing to the
    // latter, and a second open would cost its round trips on every run.
    int opened = ipmi_ctx_open_outofband_2_0(
        context_, settings.host.c_str(), user, password, kg, kgLength, privilege, *cipher, timeout,
        kRetransmitMs, IPMI_WORKAROUND_FLAGS_OUTOFBAND_2_0_OPEN_SESSION_PRIVILEGE, flags);
    // A BMC that refuses that form is asked the usual way.
    if (opened < 0 && ipmi_ctx_errnum(context_) == IPMI_ERR_PRIVILEGE_LEVEL_CANNOT_BE_OBTAINED) {
        DriverLog::Request("the BMC refused the privilege named at Open Session (" + target_ +
                           "); asking for the highest level");
        ipmi_ctx_destroy(context_);
        context_ = ipmi_ctx_create();
        if (!context_)
            return -1;
        opened = ipmi_ctx_open_outofband_2_0(context_, settings.host.c_str(), user, password, kg,
                                             kgLength, privilege, *cipher, timeout, kRetransmitMs,
                                             0, flags);
    }
    return opened;
}

std::string IpmiSession::OpenRefusal(const DriverSettings::Settings& settings, uint8_t privilege,
                                     int cipher, unsigned timeout) const {
    // Some BMCs answer a suite they do not offer with an error of their own:
    // what they do offer tells it apart.
    std::vector<uint8_t> offered;
    const int errnum = ipmi_ctx_errnum(context_);
    if (settings.cipher && errnum != IPMI_ERR_PASSWORD_INVALID &&
        errnum != IPMI_ERR_CONNECTION_TIMEOUT &&
        AskCipherSuites(settings.host, timeout, &offered) &&
        std::find(offered.begin(), offered.end(), *settings.cipher) == offered.end())
        return "the BMC does not offer cipher suite " + CipherSuites::Describe(*settings.cipher) +
               "; it offers " + CipherSuites::List(offered);
    const std::string user =
        settings.user.empty() ? "the anonymous user" : "user \"" + settings.user + "\"";
    switch (errnum) {
    case IPMI_ERR_PRIVILEGE_LEVEL_CANNOT_BE_OBTAINED:
    case IPMI_ERR_PRIVILEGE_LEVEL_INSUFFICIENT:
        return "the BMC does not grant " + user + " " + DriverSettings::PrivilegeName(privilege) +
               " privilege: " + DriverSettings::PrivilegeName(privilege) + " privilege is missing";
    case IPMI_ERR_K_G_INVALID:
        return settings.kg.empty() ? "the BMC asks for its key K_g (ORVANE_IPMI_KG_FILE, "
                                     "orvane: --kg-file)"
                                   : "the BMC key K_g is not the BMC's (ORVANE_IPMI_KG_FILE, "
                                     "orvane: --kg-file)";
    case IPMI_ERR_CIPHER_SUITE_ID_UNAVAILABLE:
        return "the BMC refuses cipher suite " +
               CipherSuites::Describe(static_cast<uint8_t>(cipher));
    default: {
        const char* text = ipmi_ctx_errormsg(context_);
        return text ? text : "unknown error";
    }
    }
}

uint32_t IpmiSession::Open(uint32_t timeoutMs, uint8_t atLeast) {
    DriverSettings::Settings settings;
    std::string why;
    if (!DriverSettings::FromEnvironment(&settings, &why)) {
        DriverLog::Failure(why);
        return KSB_RESULT_TRANSPORT;
    }
    for (const std::string& allowed : settings.allowed)
        DriverLog::Note("insecure, as allowed: " + allowed);
    const uint8_t privilege =
        settings.privilegeFixed ? settings.privilege : std::max(settings.privilege, atLeast);
    context_ = ipmi_ctx_create();
    if (!context_) {
        target_ = "no context";
        return Failed("cannot create a libfreeipmi context");
    }
    unsigned flags = DriverLog::Level() >= 3 ? IPMI_FLAGS_DEBUG_DUMP : IPMI_FLAGS_DEFAULT;
    // libfreeipmi gives up on a LAN request after the session timeout.
    unsigned sessionTimeout = std::max<unsigned>(timeoutMs, 2 * kRetransmitMs);
    int opened = -1;
    int cipher = -1;
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
        opened = OpenLan(settings, privilege, sessionTimeout, flags);
        break;
    case DriverSettings::Interface::LanPlus: {
        target_ = "lanplus " + settings.host;
        uint8_t suite = 0;
        opened = OpenLanPlus(settings, privilege, sessionTimeout, flags, &suite);
        cipher = suite;
        break;
    }
    }
    const uint32_t result = Opened(opened, settings, privilege, cipher, sessionTimeout);
    // The copies of the password and the key are no longer needed.
    std::fill(settings.password.begin(), settings.password.end(), '\0');
    std::fill(settings.kg.begin(), settings.kg.end(), 0);
    return result;
}

uint32_t IpmiSession::Opened(int opened, const DriverSettings::Settings& settings,
                             uint8_t privilege, int cipher, unsigned timeout) {
    if (opened == kWeakOnly) {
        Close();
        return KSB_RESULT_TRANSPORT;
    }
    if (opened < 0) {
        const int errnum = context_ ? ipmi_ctx_errnum(context_) : IPMI_ERR_OUT_OF_MEMORY;
        DriverLog::Failure(
            "cannot open the IPMI session (" + target_ + "): " +
            (context_ ? OpenRefusal(settings, privilege, cipher, timeout) : "out of memory"));
        Close();
        // Bad parameters here are settings (a password too long, say), not a request.
        const uint32_t result = ResultOf(errnum);
        return result == KSB_RESULT_MALFORMED ? KSB_RESULT_TRANSPORT : result;
    }
    privilegeFixed_ = settings.privilegeFixed;
    privilege_ = settings.interface == DriverSettings::Interface::InBand
                     ? DriverSettings::kAdministrator
                     : privilege;
    std::string line = "session opened: " + target_;
    if (cipher >= 0)
        line += ", cipher suite " + CipherSuites::Describe(static_cast<uint8_t>(cipher));
    if (settings.interface == DriverSettings::Interface::Lan)
        line += " (IPMI 1.5: unencrypted)";
    if (settings.interface != DriverSettings::Interface::InBand)
        line += std::string(", privilege ") + DriverSettings::PrivilegeName(privilege);
    if (!settings.kg.empty())
        line += ", with K_g";
    DriverLog::Note(line);
    ++opens_;
    return KSB_RESULT_OK;
}

bool IpmiSession::Raise(uint8_t needed, uint32_t timeoutMs) {
    if (privilegeFixed_ || needed <= privilege_ || needed >= refused_)
        return false;
    const uint8_t before = privilege_;
    DriverLog::Request("the BMC asks for more privilege than " +
                       std::string(DriverSettings::PrivilegeName(before)) + "; reopening at " +
                       DriverSettings::PrivilegeName(needed));
    Close();
    if (Open(timeoutMs, needed) == KSB_RESULT_OK) {
        wanted_ = needed;
        return true;
    }
    // Back to the level that worked, for the requests that need no more.
    refused_ = needed;
    Open(timeoutMs, before);
    return false;
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
        openFailed_ = Open(timeoutMs, wanted_);
        if (openFailed_ != KSB_RESULT_OK) {
            retryAfter_ = std::chrono::steady_clock::now() + kOpenRetryPause;
            return openFailed_;
        }
    }
    const bool ipmb = bridged || responderAddress != Ipmi::kBmcAddress;
    uint32_t result = Transmit(channel, ipmb, responderAddress, netFn, lun, command, data,
                               dataLength, completionCode, response);
    if (result != KSB_RESULT_OK || *completionCode != Ipmi::kCcInsufficientPrivilege)
        return result;
    // Refused for lack of privilege: a session whose level is not fixed
    // rises to what the request needs and sends it again.
    const uint8_t had = privilege_;
    const uint8_t needed = std::max<uint8_t>(DriverSettings::PrivilegeNeeded(netFn, command),
                                             static_cast<uint8_t>(had + 1));
    if (Raise(needed, timeoutMs) && context_) {
        result = Transmit(channel, ipmb, responderAddress, netFn, lun, command, data, dataLength,
                          completionCode, response);
        if (result != KSB_RESULT_OK || *completionCode != Ipmi::kCcInsufficientPrivilege)
            return result;
    }
    DriverLog::Failure("request netfn=" + Hex(netFn) + " cmd=" + Hex(command) +
                       " refused for lack of privilege: the session has " +
                       DriverSettings::PrivilegeName(had) + "; it needs " +
                       DriverSettings::PrivilegeName(needed) + " privilege" +
                       (privilegeFixed_ ? " (ORVANE_IPMI_PRIVILEGE, orvane: --privilege)" : ""));
    return result;
}

uint32_t IpmiSession::Transmit(uint8_t channel, bool ipmb, uint8_t responderAddress, uint8_t netFn,
                               uint8_t lun, uint8_t command, const uint8_t* data,
                               uint32_t dataLength, uint8_t* completionCode,
                               std::vector<uint8_t>* response) {
    uint8_t request[1 + 255];
    request[0] = command;
    std::copy(data, data + dataLength, request + 1);
    uint8_t answer[1024];
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
