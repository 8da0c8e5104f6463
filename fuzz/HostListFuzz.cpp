// Host lists and host files of the fleet commands, as an operator types them.
// Every expanded list holds each host once and no more than the bound.
//
// Input: one byte choosing a list or a host file, then the text.
#include "fleet/HostList.h"
#include "fuzz/FuzzInput.h"

#include <cstdlib>
#include <set>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput input(data, size);
    bool file = input.Byte() & 1;
    std::vector<uint8_t> bytes = input.Rest();
    std::string text(bytes.begin(), bytes.end());
    std::string error;
    if (file) {
        std::vector<HostEntry> entries;
        if (!HostList::ParseFile(text, &entries, &error) && error.empty())
            std::abort();
        return 0;
    }
    std::vector<std::string> hosts;
    if (!HostList::Expand(text, &hosts, &error)) {
        if (error.empty())
            std::abort();
        return 0;
    }
    if (hosts.size() > HostList::kMaxHosts ||
        std::set<std::string>(hosts.begin(), hosts.end()).size() != hosts.size())
        std::abort();
    return 0;
}
