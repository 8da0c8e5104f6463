#include "drivers/sim/SimBmc.h"

#include "drivers/KsbApi.h"
#include "support/IpmiDefs.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>

namespace {

// A bridged answer must fit a 64-byte message: 7 header bytes, the data and
// the closing checksum.
constexpr uint32_t kBridgedAnswerRoom = 64 - 8;

SimAnswer Code(uint8_t cc) {
    SimAnswer a;
    a.completionCode = cc;
    return a;
}

SimAnswer Bytes(std::vector<uint8_t> data) {
    SimAnswer a;
    a.data = std::move(data);
    return a;
}

SimFruDevice* FindFru(SimController& c, uint8_t id) {
    for (SimFruDevice& d : c.fruDevices)
        if (d.id == id)
            return &d;
    return nullptr;
}

// The I2C device a Master Write-Read bus byte and slave address name: bit 0
// of the bus byte selects a private bus, bits 3..1 its id, bits 7..4 the
// channel (the BMC's own buses are on channel 0).
SimI2cDevice* FindI2c(SimController& c, uint8_t busByte, uint8_t address) {
    if (!(busByte & 1) || (busByte >> 4) != 0)
        return nullptr;
    uint8_t bus = (busByte >> 1) & 7;
    for (SimI2cDevice& d : c.i2cDevices)
        if (d.bus == bus && d.address == (address & 0xFE))
            return &d;
    return nullptr;
}

uint8_t Sum(const uint8_t* bytes, size_t n) {
    uint8_t sum = 0;
    for (size_t i = 0; i < n; ++i)
        sum = static_cast<uint8_t>(sum + bytes[i]);
    return sum;
}

// Writes n bytes at offset into the memory and back to its image file.
uint8_t Store(SimMemory& memory, size_t offset, const uint8_t* bytes, size_t n) {
    if (n)
        std::memcpy(memory.bytes.data() + offset, bytes, n);
    std::string error;
    if (!SimSystem::WriteBack(memory, offset, n, error)) {
        std::fprintf(stderr, "orvane-driver-sim: %s\n", error.c_str());
        return Ipmi::kCcUnspecified;
    }
    return Ipmi::kCcOk;
}

// What a fault's "device" and "offset" keys compare with in a request.
struct RequestKeys {
    std::optional<uint32_t> device, offset;
};

RequestKeys KeysOf(SimController* c, const SimRequest& r) {
    RequestKeys k;
    const uint8_t* d = r.data;
    if (r.netFn == Ipmi::kNetFnStorage &&
        (r.command == Ipmi::kCmdGetFruInventoryAreaInfo || r.command == Ipmi::kCmdReadFruData ||
         r.command == Ipmi::kCmdWriteFruData)) {
        if (r.length >= 1)
            k.device = d[0];
        if (r.command != Ipmi::kCmdGetFruInventoryAreaInfo && r.length >= 3)
            k.offset = d[1] | (d[2] << 8);
    } else if (r.netFn == Ipmi::kNetFnStorage && r.command == Ipmi::kCmdGetSdr && r.length >= 6) {
        k.offset = d[4];
    } else if (r.netFn == Ipmi::kNetFnApp && r.command == Ipmi::kCmdMasterWriteRead &&
               r.length >= 2) {
        k.device = d[1] & 0xFE;
        SimI2cDevice* device = c ? FindI2c(*c, d[0], d[1]) : nullptr;
        if (r.length >= 5) {
            bool ds =
                device ? device->kind == SimI2cKind::Ds1624s : d[3] == Ipmi::kDs1624sAccessMemory;
            k.offset = ds ? d[4] : (d[3] << 8) | d[4];
        }
    }
    return k;
}

bool Fits(const std::optional<uint32_t>& want, const std::optional<uint32_t>& have) {
    return !want || (have && *want == *have);
}

// corrupt_data: the answer keeps completion code 00h and its length, but its
// last data byte comes back inverted, as a flaky bus or EEPROM returns it.
void Corrupt(const SimFault* fault, SimAnswer* answer) {
    if (fault && fault->effect == SimEffect::CorruptData && answer->result == KSB_RESULT_OK &&
        answer->completionCode == 0 && !answer->data.empty())
        answer->data.back() ^= 0xFF;
}

} // namespace

// The first fault whose match fits and whose window is not used up takes the
// request: its first `skip` matching requests pass untouched, the next `times`
// get its effect. A used-up fault is passed over, so a later one may apply.
const SimFault* SimBmc::TakeFault(SimController* controller, const SimRequest& r) {
    if (system_.faults.empty())
        return nullptr;
    RequestKeys keys = KeysOf(controller, r);
    for (SimFault& f : system_.faults) {
        if (!Fits(f.responder, r.responder) || !Fits(f.netFn, r.netFn) || !Fits(f.lun, r.lun) ||
            !Fits(f.command, r.command) || !Fits(f.device, keys.device) ||
            !Fits(f.offset, keys.offset) || (f.bridged && *f.bridged != r.bridged))
            continue;
        if (f.times && uint64_t(f.seen) >= uint64_t(f.skip) + *f.times)
            continue;
        ++f.seen;
        return f.seen <= f.skip ? nullptr : &f;
    }
    return nullptr;
}

SimAnswer SimBmc::Send(const SimRequest& r, uint32_t capacity) {
    SimController* controller = system_.FindController(r.responder);
    const SimFault* fault = TakeFault(controller, r);
    SimAnswer answer;
    bool sendMessage = controller && r.responder == Ipmi::kBmcAddress &&
                       r.netFn == Ipmi::kNetFnApp && r.command == Ipmi::kCmdSendMessage;
    if (fault && fault->effect == SimEffect::CompletionCode) {
        answer = Code(fault->completionCode);
    } else if (fault && fault->effect == SimEffect::Result) {
        answer.result = fault->result;
    } else if (fault && fault->effect == SimEffect::NoResponse && !sendMessage) {
        answer.result = KSB_RESULT_TIMEOUT;
    } else if (!controller) {
        // Nobody answers at that address on the IPMB.
        answer.result = KSB_RESULT_TIMEOUT;
    } else if (sendMessage) {
        // no_response and wrong_sequence act on the bridged answer.
        answer = SendMessage(r, fault);
    } else {
        answer = Answer(*controller, r);
        Corrupt(fault, &answer);
    }
    if (answer.data.size() > capacity)
        answer = Code(Ipmi::kCcCannotReturnRequestedBytes);
    return answer;
}

uint32_t SimBmc::Receive(uint8_t* message, uint32_t* length) {
    if (queue_.empty()) {
        *length = 0;
        return KSB_RESULT_TIMEOUT;
    }
    const std::vector<uint8_t>& m = queue_.front();
    if (m.size() > *length) {
        *length = 0;
        return KSB_RESULT_MALFORMED;
    }
    std::memcpy(message, m.data(), m.size());
    *length = static_cast<uint32_t>(m.size());
    queue_.pop_front();
    return KSB_RESULT_OK;
}

SimAnswer SimBmc::Answer(SimController& c, const SimRequest& r) {
    bool bmc = c.address == Ipmi::kBmcAddress;
    if (r.netFn == Ipmi::kNetFnApp && r.command == Ipmi::kCmdGetDeviceId) {
        if (r.length != 0)
            return Code(Ipmi::kCcRequestDataLengthInvalid);
        // Device id, revision, firmware 1.00, IPMI version, supported
        // functions (the BMC: sensors, SDR repository, FRU inventory,
        // bridge; a satellite: FRU inventory), manufacturer and product 0.
        return Bytes({0x01, 0x01, 0x01, 0x00, c.ipmiVersion,
                      static_cast<uint8_t>(bmc ? 0x4B : 0x08), 0x00, 0x00, 0x00, 0x00, 0x00});
    }
    if (r.netFn == Ipmi::kNetFnStorage && r.command == Ipmi::kCmdGetFruInventoryAreaInfo)
        return FruInfo(c, r);
    if (r.netFn == Ipmi::kNetFnStorage && r.command == Ipmi::kCmdReadFruData)
        return ReadFru(c, r);
    if (r.netFn == Ipmi::kNetFnStorage && r.command == Ipmi::kCmdWriteFruData)
        return WriteFru(c, r);
    if (!bmc)
        return Code(Ipmi::kCcInvalidCommand);
    if (r.netFn == Ipmi::kNetFnStorage && r.command == Ipmi::kCmdReserveSdrRepository) {
        if (r.length != 0)
            return Code(Ipmi::kCcRequestDataLengthInvalid);
        reservation_ = static_cast<uint16_t>(reservation_ == 0xFFFF ? 1 : reservation_ + 1);
        return Bytes({static_cast<uint8_t>(reservation_), static_cast<uint8_t>(reservation_ >> 8)});
    }
    if (r.netFn == Ipmi::kNetFnStorage && r.command == Ipmi::kCmdGetSdr)
        return GetSdr(r);
    if (r.netFn == Ipmi::kNetFnApp && r.command == Ipmi::kCmdMasterWriteRead)
        return MasterWriteRead(c, r);
    return Code(Ipmi::kCcInvalidCommand);
}

SimAnswer SimBmc::FruInfo(SimController& c, const SimRequest& r) {
    if (r.length != 1)
        return Code(Ipmi::kCcRequestDataLengthInvalid);
    SimFruDevice* d = FindFru(c, r.data[0]);
    if (!d)
        return Code(Ipmi::kCcRequestedDataNotPresent);
    size_t size = std::min<size_t>(d->memory.bytes.size(), 0xFFFF);
    return Bytes({static_cast<uint8_t>(size), static_cast<uint8_t>(size >> 8), 0x00});
}

SimAnswer SimBmc::ReadFru(SimController& c, const SimRequest& r) {
    if (r.length != 4)
        return Code(Ipmi::kCcRequestDataLengthInvalid);
    SimFruDevice* d = FindFru(c, r.data[0]);
    if (!d)
        return Code(Ipmi::kCcRequestedDataNotPresent);
    size_t offset = r.data[1] | (r.data[2] << 8), n = r.data[3];
    if (c.maxRead && n > c.maxRead)
        return Code(c.oversizeCode);
    const std::vector<uint8_t>& bytes = d->memory.bytes;
    if (offset + n > bytes.size())
        return Code(Ipmi::kCcParameterOutOfRange);
    SimAnswer a = Bytes({static_cast<uint8_t>(n)});
    a.data.insert(a.data.end(), bytes.begin() + offset, bytes.begin() + offset + n);
    return a;
}

SimAnswer SimBmc::WriteFru(SimController& c, const SimRequest& r) {
    if (r.length < 3)
        return Code(Ipmi::kCcRequestDataLengthInvalid);
    SimFruDevice* d = FindFru(c, r.data[0]);
    if (!d)
        return Code(Ipmi::kCcRequestedDataNotPresent);
    size_t offset = r.data[1] | (r.data[2] << 8), n = r.length - 3;
    if (d->memory.writeProtected)
        return Code(Ipmi::kCcWriteProtected);
    if (c.maxWrite && n > c.maxWrite)
        return Code(Ipmi::kCcRequestDataLengthInvalid);
    if (offset + n > d->memory.bytes.size())
        return Code(Ipmi::kCcParameterOutOfRange);
    if (uint8_t cc = Store(d->memory, offset, r.data + 3, n))
        return Code(cc);
    return Bytes({static_cast<uint8_t>(n)});
}

SimAnswer SimBmc::GetSdr(const SimRequest& r) {
    if (r.length != 6)
        return Code(Ipmi::kCcRequestDataLengthInvalid);
    const uint8_t* d = r.data;
    uint16_t reservation = static_cast<uint16_t>(d[0] | (d[1] << 8));
    uint16_t id = static_cast<uint16_t>(d[2] | (d[3] << 8));
    size_t offset = d[4], count = d[5];
    // A read from offset 0 needs no reservation; a partial read needs the
    // current one.
    if (offset != 0 && (reservation_ == 0 || reservation != reservation_))
        return Code(Ipmi::kCcReservationCancelled);
    const auto& records = system_.sdr;
    if (records.empty())
        return Code(Ipmi::kCcRequestedDataNotPresent);
    size_t index = id == 0xFFFF ? records.size() - 1 : id; // 0xFFFF: the last record
    if (index >= records.size())
        return Code(Ipmi::kCcRequestedDataNotPresent);
    const std::vector<uint8_t>& record = records[index];
    if (offset > record.size())
        return Code(Ipmi::kCcParameterOutOfRange);
    // 0xFF reads the rest of the record; a read past its end returns what there is.
    size_t n = std::min(record.size() - offset, count == 0xFF ? record.size() : count);
    size_t next = index + 1 < records.size() ? index + 1 : 0xFFFF;
    SimAnswer a = Bytes({static_cast<uint8_t>(next), static_cast<uint8_t>(next >> 8)});
    a.data.insert(a.data.end(), record.begin() + offset, record.begin() + offset + n);
    return a;
}

// Master Write-Read: bus byte, slave address, read count, then the bytes
// written. An AT24CO2 takes a two-byte offset (high, low), a DS1624S the
// access-memory command 0x17 and a one-byte offset; further written bytes go
// to the memory at that offset, and the read follows them.
SimAnswer SimBmc::MasterWriteRead(SimController& c, const SimRequest& r) {
    if (r.length < 3)
        return Code(Ipmi::kCcRequestDataLengthInvalid);
    SimI2cDevice* d = FindI2c(c, r.data[0], r.data[1]);
    if (!d)
        return Code(Ipmi::kCcNotAcknowledged);
    size_t readCount = r.data[2];
    const uint8_t* written = r.data + 3;
    size_t writtenCount = r.length - 3;
    if (writtenCount < 2)
        return Code(Ipmi::kCcRequestDataLengthInvalid);
    size_t offset;
    if (d->kind == SimI2cKind::At24c02) {
        offset = (written[0] << 8) | written[1];
    } else {
        if (written[0] != Ipmi::kDs1624sAccessMemory)
            return Code(Ipmi::kCcInvalidDataField);
        offset = written[1];
    }
    const uint8_t* payload = written + 2;
    size_t payloadCount = writtenCount - 2;
    SimMemory& memory = d->memory;
    if (payloadCount) {
        if (memory.writeProtected)
            return Code(Ipmi::kCcWriteProtected);
        if (c.maxWrite && payloadCount > c.maxWrite)
            return Code(Ipmi::kCcRequestDataLengthInvalid);
        if (offset + payloadCount > memory.bytes.size())
            return Code(Ipmi::kCcParameterOutOfRange);
    }
    size_t readAt = offset + payloadCount;
    if (readCount) {
        if (c.maxRead && readCount > c.maxRead)
            return Code(c.oversizeCode);
        if (readAt + readCount > memory.bytes.size())
            return Code(Ipmi::kCcParameterOutOfRange);
    }
    if (payloadCount)
        if (uint8_t cc = Store(memory, offset, payload, payloadCount))
            return Code(cc);
    return Bytes(std::vector<uint8_t>(memory.bytes.begin() + readAt,
                                      memory.bytes.begin() + readAt + readCount));
}

// Send Message: channel, then an IPMB request (rsSA, netFn/rsLUN, checksum,
// rqSA, rqSeq/rqLUN, command, data, checksum). The target controller's answer
// is queued as an IPMB response for KsbReceiveMessage; the outer request
// completes with no data.
SimAnswer SimBmc::SendMessage(const SimRequest& r, const SimFault* outerFault) {
    const uint8_t* d = r.data;
    if (r.length < 8)
        return Code(Ipmi::kCcRequestDataLengthInvalid);
    if (Sum(d + 1, 3) != 0 || Sum(d + 4, r.length - 4) != 0)
        return Code(Ipmi::kCcInvalidDataField);
    uint8_t channel = d[0] & 0x0F;
    SimController* target = system_.FindController(d[1]);
    if (!target || target->address == Ipmi::kBmcAddress || target->channel != channel)
        return Code(Ipmi::kCcNotAcknowledged);

    SimRequest inner;
    inner.responder = d[1];
    inner.netFn = static_cast<uint8_t>(d[2] >> 2);
    inner.lun = d[2] & 3;
    inner.command = d[6];
    inner.data = d + 7;
    inner.length = r.length - 8;
    inner.bridged = true;

    const SimFault* fault = outerFault ? outerFault : TakeFault(target, inner);
    SimAnswer answer;
    if (fault && fault->effect == SimEffect::Result)
        return SimAnswer{fault->result, 0, {}};
    if (fault && fault->effect == SimEffect::NoResponse)
        return SimAnswer{};
    if (fault && fault->effect == SimEffect::CompletionCode)
        answer = Code(fault->completionCode);
    else
        answer = Answer(*target, inner);
    Corrupt(fault, &answer);
    if (answer.data.size() > kBridgedAnswerRoom)
        answer = Code(Ipmi::kCcCannotReturnRequestedBytes);

    uint8_t sequence = d[5] >> 2;
    auto queue = [&](uint8_t seq) {
        std::vector<uint8_t> m = {d[4],
                                  static_cast<uint8_t>(((inner.netFn | 1) << 2) | (d[5] & 3))};
        m.push_back(static_cast<uint8_t>(-Sum(m.data(), 2)));
        m.push_back(inner.responder);
        m.push_back(static_cast<uint8_t>((seq << 2) | inner.lun));
        m.push_back(inner.command);
        m.push_back(answer.completionCode);
        m.insert(m.end(), answer.data.begin(), answer.data.end());
        m.push_back(static_cast<uint8_t>(-Sum(m.data() + 3, m.size() - 3)));
        queue_.push_back(std::move(m));
    };
    if (fault && fault->effect == SimEffect::WrongSequence)
        queue(static_cast<uint8_t>(sequence >= 63 ? 1 : sequence + 1));
    queue(sequence);
    return SimAnswer{};
}
