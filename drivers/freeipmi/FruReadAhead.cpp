#include "drivers/freeipmi/FruReadAhead.h"
#include "support/IpmiDefs.h"

#include <algorithm>

namespace {

// Bounds the requests one library read may cost (shrinking, the size query).
constexpr int kMaxAttempts = 24;

bool ShrinkCode(uint8_t code) {
    return code == Ipmi::kCcRequestDataLengthInvalid ||
           code == Ipmi::kCcRequestDataLengthExceeded ||
           code == Ipmi::kCcCannotReturnRequestedBytes;
}

WireRequest ReadRequest(const WireRequest& like, uint8_t id, uint32_t offset, uint8_t count) {
    WireRequest read = like;
    read.data = {id, static_cast<uint8_t>(offset), static_cast<uint8_t>(offset >> 8), count};
    return read;
}

} // namespace

uint8_t FruReadAhead::NextCount(const ReadSize& size, bool bridged) const {
    if (size.good == 0 && size.bad == 0)
        return bridged ? firstBridged_ : kFirstCount;
    // A controller behind a bridge that would not carry more than one IPMB
    // message holds: reads stay within one, nothing between is tried.
    if (bridged && size.good <= kFirstBridgedCount && size.bad > kFirstBridgedCount)
        return kFirstBridgedCount;
    if (size.good == 0)
        return static_cast<uint8_t>(std::max(1, size.bad - 4));
    // Once a count worked below one refused, the counts between are tried
    // in halves (each try reads bytes the load needs when it works).
    if (size.bad > size.good + 1)
        return static_cast<uint8_t>((size.good + size.bad) / 2);
    return size.good;
}

bool FruReadAhead::TakeSizesChanged() {
    bool changed = sizesChanged_;
    sizesChanged_ = false;
    return changed;
}

void FruReadAhead::Learned(const ControllerKey& controller, uint8_t count, bool accepted) {
    ReadSize& size = sizes_[controller];
    ReadSize before = size;
    if (accepted) {
        size.good = std::max(size.good, count);
        if (size.bad != 0 && size.bad <= size.good)
            size.bad = 0;
    } else {
        size.bad = size.bad == 0 ? count : std::min(size.bad, count);
        if (size.good >= size.bad)
            size.good = 0; // the controller takes less than it used to
    }
    if (before.good != size.good || before.bad != size.bad)
        sizesChanged_ = true;
}

bool FruReadAhead::Covered(const Device& device, uint32_t offset, uint32_t count) const {
    if (offset + count > device.known.size())
        return false;
    return std::all_of(device.known.begin() + offset, device.known.begin() + offset + count,
                       [](bool known) { return known; });
}

WireAnswer FruReadAhead::Serve(const Device& device, uint32_t offset, uint32_t count) {
    WireAnswer answer;
    answer.data.resize(1 + count);
    answer.data[0] = static_cast<uint8_t>(count);
    std::copy_n(device.bytes.begin() + offset, count, answer.data.begin() + 1);
    return answer;
}

void FruReadAhead::Store(Device& device, uint32_t offset, const uint8_t* bytes, uint32_t count) {
    // Nothing is held past the device's end, whatever an answer carried.
    if (device.size >= 0)
        count = std::min<uint32_t>(
            count, offset < static_cast<uint32_t>(device.size) ? device.size - offset : 0);
    if (device.bytes.size() < offset + count) {
        device.bytes.resize(offset + count);
        device.known.resize(offset + count, false);
    }
    std::copy(bytes, bytes + count, device.bytes.begin() + offset);
    std::fill(device.known.begin() + offset, device.known.begin() + offset + count, true);
}

void FruReadAhead::AskSize(Device& device, const WireRequest& request) {
    device.sizeAsked = true;
    WireRequest info = request;
    info.command = Ipmi::kCmdGetFruInventoryAreaInfo;
    info.data = {request.data[0]};
    WireAnswer answer = wire_(info);
    if (answer.result != 0 || answer.completionCode != Ipmi::kCcOk || answer.data.size() < 3)
        return;
    int32_t size = answer.data[0] | (answer.data[1] << 8);
    if (size > 0)
        device.size = size;
    // Offsets and counts of a device addressed by words are not bytes.
    if (answer.data[2] & 0x01)
        device.passThrough = true;
}

WireAnswer FruReadAhead::Read(const WireRequest& request) {
    if (request.data.size() != 4 || request.data[3] == 0)
        return wire_(request);
    const uint8_t id = request.data[0];
    const uint32_t offset = request.data[1] | (request.data[2] << 8);
    const uint32_t end = offset + request.data[3];
    const ControllerKey controller = ControllerKey::Of(request);
    Device& device = devices_[{controller, request.lun, id}];
    if (device.passThrough)
        return wire_(request);
    if (Covered(device, offset, end - offset)) {
        ++hits_;
        return Serve(device, offset, end - offset);
    }
    // Reading ahead starts at the first byte not held yet.
    uint32_t from = offset;
    while (from < device.known.size() && device.known[from])
        ++from;

    for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
        // Past the device's end the controller gives its own answer.
        if (device.size >= 0 && end > static_cast<uint32_t>(device.size))
            return wire_(request);
        uint32_t ahead = NextCount(sizes_[controller], controller.bridged);
        if (device.size >= 0)
            ahead = std::min<uint32_t>(ahead, device.size - from);
        ahead = std::min<uint32_t>(ahead, Ipmi::kFruOffsetLimit - from);
        if (from + ahead < end)
            return wire_(request);
        WireAnswer answer = wire_(ReadRequest(request, id, from, static_cast<uint8_t>(ahead)));
        if (answer.result != 0) {
            // No answer to the larger read (a bridge or a kernel that will not
            // carry a message that big, a lost answer): the controller gets
            // the library's own request, and later read-aheads ask for less.
            if (ahead > end - offset)
                Learned(controller, static_cast<uint8_t>(ahead), false);
            return wire_(request);
        }
        const uint8_t code = answer.completionCode;
        if (code == Ipmi::kCcOk) {
            // Kept only when the count byte agrees with the bytes that came
            // and is no more than was asked.
            const auto& data = answer.data;
            if (data.empty() || data[0] + 1u != data.size() || data[0] > ahead)
                return wire_(request);
            Learned(controller, static_cast<uint8_t>(ahead), true);
            Store(device, from, data.data() + 1, data[0]);
            return Covered(device, offset, end - offset) ? Serve(device, offset, end - offset)
                                                         : wire_(request);
        }
        // A refused read may have crossed the device's end rather than the
        // controller's limit: the device's size tells which.
        if (!device.sizeAsked)
            AskSize(device, request);
        if (device.passThrough)
            return wire_(request);
        if (device.size >= 0 && from + ahead > static_cast<uint32_t>(device.size))
            continue;
        if (!ShrinkCode(code)) {
            // Behind a bridge a larger read may fail in its own way (the
            // bridge's NAK or bus error): later read-aheads ask for less.
            if (controller.bridged && ahead > kFirstBridgedCount && ahead > end - offset)
                Learned(controller, static_cast<uint8_t>(ahead), false);
            return wire_(request);
        }
        Learned(controller, static_cast<uint8_t>(ahead), false);
    }
    return wire_(request);
}

void FruReadAhead::Forget(const WireRequest& write) {
    if (write.data.size() < 3)
        return;
    auto found = devices_.find({ControllerKey::Of(write), write.lun, write.data[0]});
    if (found == devices_.end())
        return;
    Device& device = found->second;
    const uint32_t offset = write.data[1] | (write.data[2] << 8);
    const uint32_t end = std::min<uint32_t>(offset + write.data.size() - 3, device.known.size());
    for (uint32_t i = offset; i < end; ++i)
        device.known[i] = false;
}
