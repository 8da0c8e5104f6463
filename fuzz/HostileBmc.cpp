#include "fuzz/HostileBmc.h"

#include "drivers/KsbApi.h"
#include "fuzz/FuzzInput.h"
#include "support/IpmiDefs.h"

#include <algorithm>

namespace {

uint8_t Checksum(const uint8_t* bytes, size_t count) {
    uint8_t sum = 0;
    for (size_t i = 0; i < count; ++i)
        sum = static_cast<uint8_t>(sum + bytes[i]);
    return static_cast<uint8_t>(-sum);
}

} // namespace

void HostileBmc::Start(const uint8_t* input, size_t size) {
    FuzzInput in(input, size);
    sdr_.clear();
    for (int n = in.Byte() % 8; n > 0; --n)
        sdr_.push_back(in.Bytes(in.Byte()));
    image_ = in.Bytes(in.Word());
    faults_ = in.Rest();
    at_ = 0;
    reservation_ = 0;
    queue_.clear();
}

HostileBmc::Answer HostileBmc::Honest(uint8_t netFn, uint8_t command, const uint8_t* d,
                                      uint32_t length) {
    Answer a;
    auto need = [&](uint32_t n) {
        if (length >= n)
            return true;
        a.completionCode = Ipmi::kCcRequestDataLengthInvalid;
        return false;
    };
    if (netFn == Ipmi::kNetFnApp && command == Ipmi::kCmdGetDeviceId) {
        a.data = {0x20, 0x01, 0x01, 0x00, 0x51, 0x0F, 0x57, 0x01, 0x00, 0x00, 0x00};
    } else if (netFn == Ipmi::kNetFnStorage && command == Ipmi::kCmdReserveSdrRepository) {
        ++reservation_;
        a.data = {static_cast<uint8_t>(reservation_), static_cast<uint8_t>(reservation_ >> 8)};
    } else if (netFn == Ipmi::kNetFnStorage && command == Ipmi::kCmdGetSdr) {
        if (!need(6))
            return a;
        uint32_t id = d[2] | (d[3] << 8), offset = d[4], count = d[5];
        if (id >= sdr_.size()) {
            a.completionCode = Ipmi::kCcRequestedDataNotPresent;
            return a;
        }
        uint16_t next = id + 1 < sdr_.size() ? static_cast<uint16_t>(id + 1) : 0xFFFF;
        a.data = {static_cast<uint8_t>(next), static_cast<uint8_t>(next >> 8)};
        const auto& record = sdr_[id];
        // A record shorter than its header claims ends early: only its bytes come.
        for (uint32_t i = offset; i < offset + count && i < record.size(); ++i)
            a.data.push_back(record[i]);
    } else if (netFn == Ipmi::kNetFnStorage && command == Ipmi::kCmdReadFruData) {
        if (!need(4))
            return a;
        uint32_t offset = d[1] | (d[2] << 8), count = d[3];
        if (offset + count > image_.size()) {
            a.completionCode = Ipmi::kCcParameterOutOfRange;
            return a;
        }
        a.data.push_back(static_cast<uint8_t>(count));
        a.data.insert(a.data.end(), image_.begin() + offset, image_.begin() + offset + count);
    } else if (netFn == Ipmi::kNetFnStorage && command == Ipmi::kCmdWriteFruData) {
        if (!need(3))
            return a;
        uint32_t offset = d[1] | (d[2] << 8), count = length - 3;
        if (offset + count > image_.size()) {
            a.completionCode = Ipmi::kCcParameterOutOfRange;
            return a;
        }
        std::copy(d + 3, d + length, image_.begin() + offset);
        a.data.push_back(static_cast<uint8_t>(count));
    } else if (netFn == Ipmi::kNetFnApp && command == Ipmi::kCmdMasterWriteRead) {
        if (!need(3))
            return a;
        uint32_t count = d[2], offset = 0;
        if (length >= 5)
            offset = d[3] == Ipmi::kDs1624sAccessMemory ? d[4] : (d[3] << 8) | d[4];
        if (offset + count > image_.size()) {
            a.completionCode = Ipmi::kCcParameterOutOfRange;
            return a;
        }
        if (length > 5 &&
            offset + (length - 5) <= image_.size()) // a write: the bytes after the offset
            std::copy(d + 5, d + length, image_.begin() + offset);
        a.data.assign(image_.begin() + offset, image_.begin() + offset + count);
    } else {
        a.completionCode = Ipmi::kCcInvalidCommand;
    }
    return a;
}

void HostileBmc::Spoil(Answer* a, uint8_t fault, uint8_t command, uint32_t capacity) {
    switch ((fault - 0xA0) % 10) {
    case 0: // a random completion code, no data
        a->completionCode = Next();
        a->data.clear();
        break;
    case 1: // a random completion code with the data
        a->completionCode = Next();
        break;
    case 2: // cut short
        a->data.resize(std::min<size_t>(a->data.size(), Next() % (a->data.size() + 1)));
        break;
    case 3: // longer than asked, up to the capacity
        for (int n = Next() % 64; n > 0; --n)
            a->data.push_back(Next());
        break;
    case 4: // no answer at all
        a->result = Next() & 1 ? KSB_RESULT_TIMEOUT : KSB_RESULT_TRANSPORT;
        break;
    case 5: // data replaced by random bytes
        a->data.clear();
        for (int n = Next() % 64; n > 0; --n)
            a->data.push_back(Next());
        break;
    case 6: // Get SDR: the next record id from the input (loops, jumps)
        if (command == Ipmi::kCmdGetSdr && a->data.size() >= 2) {
            a->data[0] = Next();
            a->data[1] = Next();
        }
        break;
    case 7: // busy
        a->completionCode = Ipmi::kCcNodeBusy;
        a->data.clear();
        break;
    case 8: // "too many bytes asked"
        a->completionCode =
            Next() & 1 ? Ipmi::kCcCannotReturnRequestedBytes : Ipmi::kCcRequestDataLengthExceeded;
        a->data.clear();
        break;
    case 9: // a wrong count byte in a FRU read
        if (!a->data.empty())
            a->data[0] = Next();
        break;
    }
    if (a->data.size() > capacity)
        a->data.resize(capacity);
}

HostileBmc::Answer HostileBmc::SendMessage(const uint8_t* d, uint32_t length, uint8_t fault) {
    Answer outer;
    // channel, rsSA, netFn/rsLUN, checksum, rqSA, rqSeq/rqLUN, command, data, checksum
    if (length < 8) {
        outer.completionCode = Ipmi::kCcRequestDataLengthInvalid;
        return outer;
    }
    const uint8_t netFn = d[2] >> 2, sequence = d[5] >> 2, command = d[6];
    Answer inner = Honest(netFn, command, d + 7, length - 8);
    if (fault >= 0xA0)
        Spoil(&inner, fault, command, 64 - 8);
    if (inner.result != 0) { // the target did not answer: the BMC says so
        outer.completionCode = Ipmi::kCcInvalidDataField;
        return outer;
    }
    auto message = [&](uint8_t seq, uint8_t code, const std::vector<uint8_t>& data) {
        std::vector<uint8_t> m = {
            d[4], static_cast<uint8_t>(((netFn | 1) << 2) | (d[5] & 3)), 0,
            d[1], static_cast<uint8_t>(seq << 2 | (d[2] & 3)),           command,
            code};
        m[2] = Checksum(m.data(), 2);
        m.insert(m.end(), data.begin(), data.end());
        m.push_back(Checksum(m.data() + 3, m.size() - 3));
        return m;
    };
    // Hostile messages first, as many as the input says.
    for (uint8_t extra = Next() % 4; fault >= 0xF0 && extra > 0; --extra) {
        const uint8_t kind = Next();
        if (kind & 1)
            queue_.push_back(message(static_cast<uint8_t>(Next() & 0x3F), Next(), inner.data));
        else
            queue_.push_back(std::vector<uint8_t>(Next() % 70, Next()));
    }
    queue_.push_back(message(sequence, inner.completionCode, inner.data));
    return outer;
}

HostileBmc::Answer HostileBmc::Request(uint8_t responder, uint8_t netFn, uint8_t command,
                                       const uint8_t* data, uint32_t length, uint32_t capacity) {
    (void)responder; // every controller serves the same image
    const uint8_t fault = Next();
    if (netFn == Ipmi::kNetFnApp && command == Ipmi::kCmdSendMessage) {
        Answer outer = SendMessage(data, length, Next());
        if (fault >= 0xA0 && fault < 0xB0) { // the outer request fails instead
            outer.completionCode = Next();
            if (outer.completionCode == Ipmi::kCcNotAcknowledged || outer.completionCode == 0)
                outer.completionCode = Ipmi::kCcUnspecified;
            queue_.clear();
        }
        return outer;
    }
    Answer a = Honest(netFn, command, data, length);
    if (fault >= 0xA0)
        Spoil(&a, fault, command, capacity);
    if (a.data.size() > capacity)
        a.data.resize(capacity);
    return a;
}

bool HostileBmc::TakeMessage(std::vector<uint8_t>* message) {
    if (queue_.empty())
        return false;
    *message = std::move(queue_.front());
    queue_.pop_front();
    return true;
}
