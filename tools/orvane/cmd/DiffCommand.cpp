// diff: what changed between two inventory snapshots (JSON Lines, a host a
// line): per host the FRUs added and removed, matched by address, and the
// fields whose values changed.
#include "cmd/Commands.h"
#include "device/FileOperand.h"

#include "cmd/CommandSupport.h"
#include "view/Translate.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

namespace Commands {
namespace {
using Json = nlohmann::ordered_json;

struct Snapshot {
    std::map<std::string, Json> hosts; // host -> its line
    std::vector<std::string> order;    // hosts in file order
};

bool Read(const std::string& path, Snapshot* snapshot) {
    std::vector<uint8_t> bytes;
    std::string problem;
    if (!FileOperand::Read(path, FileOperand::kTextBytes, &bytes, &problem)) {
        Report::SayIn("diff", "%s\n", problem.c_str());
        return false;
    }
    std::istringstream in(std::string(bytes.begin(), bytes.end()));
    size_t number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        if (line.find_first_not_of(" \t\r") == std::string::npos)
            continue;
        Json host = Json::parse(line, nullptr, false);
        if (!host.is_object() || !host.contains("host") || !host["host"].is_string()) {
            Report::SayIn("diff", _("%s:%zu: not a host line of orvane inventory\n"), path.c_str(),
                          number);
            return false;
        }
        const std::string name = host["host"];
        // A later line of the same host (concatenated runs) replaces an earlier one.
        if (!snapshot->hosts.count(name))
            snapshot->order.push_back(name);
        snapshot->hosts[name] = std::move(host);
    }
    return true;
}

std::string Text(const Json& value) {
    return value.is_string() ? value.get<std::string>() : value.is_null() ? "" : value.dump();
}

// The comparable values of a FRU: "name", "common_header", per area
// "<kind>" (presence), "<kind>.hex" and per field "<field name>".
std::map<std::string, Json> Values(const Json& fru) {
    std::map<std::string, Json> values;
    values["name"] = fru.value("name", Json());
    values["common_header"] = fru.value("common_header", Json());
    for (const auto& area : fru.value("areas", Json::array())) {
        const std::string kind = Text(area.value("kind", Json()));
        values[kind] = "present";
        if (area.contains("hex"))
            values[kind + ".hex"] = area["hex"];
        // Fields compare by the value a person reads, binary ones by their
        // bytes; the library's own string and the stored form of a text
        // (which can differ with the locale a snapshot was taken in) do not
        // count.
        for (const auto& field : area.value("fields", Json::array())) {
            const bool binary = field.value("encoding", "") == "binary" && field.contains("hex");
            values[Text(field.value("name", Json()))] =
                binary ? field["hex"] : field.value("value", Json());
        }
    }
    return values;
}

// The text form of an address object ("2:0:20:00:20:01").
std::string AddressText(const Json& address) {
    return address.is_object() ? Text(address.value("text", Json())) : Text(address);
}

std::map<std::string, Json> FrusByAddress(const Json& host) {
    std::map<std::string, Json> frus;
    for (const auto& fru : host.value("frus", Json::array()))
        frus[AddressText(fru.value("address", Json()))] = fru;
    return frus;
}

// The differences of one host, or null when there are none.
Json HostDiff(const std::string& name, const Json* before, const Json* after) {
    Json d;
    d["host"] = name;
    if (!before || !after) {
        d["change"] = before ? N_("host removed") : N_("host added");
        return d;
    }
    const std::string was = before->value("status", ""), is = after->value("status", "");
    if (!before->contains("frus") || !after->contains("frus")) {
        if (was == is)
            return nullptr;
        d["change"] = N_("not compared");
        d["status"] = {{"old", was}, {"new", is}};
        return d;
    }
    const auto old = FrusByAddress(*before), now = FrusByAddress(*after);
    Json added = Json::array(), removed = Json::array(), changed = Json::array();
    for (const auto& [address, fru] : now)
        if (!old.count(address))
            added.push_back(
                {{"address", fru.value("address", Json())}, {"name", fru.value("name", Json())}});
    for (const auto& [address, fru] : old) {
        const auto match = now.find(address);
        if (match == now.end()) {
            removed.push_back(
                {{"address", fru.value("address", Json())}, {"name", fru.value("name", Json())}});
            continue;
        }
        const auto a = Values(fru), b = Values(match->second);
        std::set<std::string> keys;
        for (const auto& [k, v] : a)
            keys.insert(k);
        for (const auto& [k, v] : b)
            keys.insert(k);
        for (const auto& key : keys) {
            const Json x = a.count(key) ? a.at(key) : Json(), y = b.count(key) ? b.at(key) : Json();
            if (x != y)
                changed.push_back({{"address", fru.value("address", Json())},
                                   {"name", match->second.value("name", Json())},
                                   {"field", key},
                                   {"old", x},
                                   {"new", y}});
        }
    }
    if (added.empty() && removed.empty() && changed.empty() && was == is)
        return nullptr;
    d["change"] = "changed";
    if (was != is)
        d["status"] = {{"old", was}, {"new", is}};
    d["frus_added"] = added;
    d["frus_removed"] = removed;
    d["fields_changed"] = changed;
    return d;
}

void PrintText(const Json& d) {
    const std::string host = d["host"], change = d["change"];
    if (change != "changed") {
        std::printf("%s: %s", host.c_str(), _(change.c_str()));
        if (d.contains("status"))
            std::printf(_(" (status %s -> %s)"), Text(d["status"]["old"]).c_str(),
                        Text(d["status"]["new"]).c_str());
        std::printf("\n");
        return;
    }
    std::printf("%s:\n", host.c_str());
    if (d.contains("status"))
        std::printf(_("  status %s -> %s\n"), Text(d["status"]["old"]).c_str(),
                    Text(d["status"]["new"]).c_str());
    for (const auto& [list, word] :
         {std::pair{"frus_added", N_("added")}, {"frus_removed", N_("removed")}})
        for (const auto& fru : d[list])
            std::printf(_("  FRU %s \"%s\" %s\n"), AddressText(fru["address"]).c_str(),
                        Text(fru["name"]).c_str(), _(word));
    for (const auto& c : d["fields_changed"])
        std::printf(_("  FRU %s \"%s\" %s: %s -> %s\n"), AddressText(c["address"]).c_str(),
                    Text(c["name"]).c_str(), Text(c["field"]).c_str(), c["old"].dump().c_str(),
                    c["new"].dump().c_str());
}
} // namespace

int Diff(const Options& o) {
    Snapshot before, after;
    if (!Read(o.operands[0], &before) || !Read(o.operands[1], &after))
        return kExitDiffTrouble;
    std::vector<std::string> names = before.order;
    for (const auto& name : after.order)
        if (!before.hosts.count(name))
            names.push_back(name);
    int code = kExitOk;
    for (const auto& name : names) {
        const auto b = before.hosts.find(name), a = after.hosts.find(name);
        const Json d = HostDiff(name, b == before.hosts.end() ? nullptr : &b->second,
                                a == after.hosts.end() ? nullptr : &a->second);
        if (d.is_null())
            continue;
        code = kExitDiffers;
        if (o.json)
            std::printf("%s\n", d.dump(-1, ' ', false, Json::error_handler_t::replace).c_str());
        else
            PrintText(d);
    }
    return code;
}
} // namespace Commands
