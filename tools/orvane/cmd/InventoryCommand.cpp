// scan and show over many BMCs (--hosts, --hosts-file), and inventory, which
// writes a snapshot of every host's FRUs as JSON Lines. Each host is read by
// a worker: this program run again with --host and the host's credentials.
#include "app/Report.h"
#include "cmd/Commands.h"

#include "cmd/CommandSupport.h"
#include "device/Backup.h"
#include "fleet/Fleet.h"
#include "fleet/HostList.h"
#include "view/Text.h"
#include "view/Translate.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <unistd.h>

namespace Commands {
namespace {
using Json = nlohmann::ordered_json;

struct Plan {
    std::vector<HostEntry> hosts;
    size_t fanout = 32;
    std::chrono::milliseconds deadline{60000};
};

bool ReadHosts(const Options& o, Plan* plan, std::string* error) {
    if (!o.hosts.empty()) {
        std::vector<std::string> names;
        if (!HostList::Expand(o.hosts, &names, error))
            return false;
        for (auto& name : names)
            plan->hosts.push_back({name, "", "", "", ""});
    }
    if (!o.hostsFile.empty()) {
        std::ifstream in(o.hostsFile);
        std::stringstream text;
        text << in.rdbuf();
        if (!in) {
            *error = Text::Format(_("cannot read %s"), o.hostsFile.c_str());
            return false;
        }
        if (!HostList::ParseFile(text.str(), &plan->hosts, error)) {
            *error = o.hostsFile + ": " + *error;
            return false;
        }
    }
    if (plan->hosts.empty()) {
        *error = _("no hosts given (--hosts LIST or --hosts-file FILE)");
        return false;
    }
    return true;
}

bool ReadPlan(const Options& o, Plan* plan, std::string* error) {
    if (!ReadHosts(o, plan, error))
        return false;
    if (!o.fanout.empty()) {
        const auto n = Text::ParseNumber(o.fanout, 1024);
        if (!n || *n == 0) {
            *error = _("--fanout takes a number from 1 to 1024");
            return false;
        }
        plan->fanout = *n;
    }
    if (!o.hostTimeout.empty()) {
        char* end = nullptr;
        const double seconds = std::strtod(o.hostTimeout.c_str(), &end);
        if (*end || !(seconds > 0 && seconds <= 86400)) {
            *error = _("--host-timeout takes seconds, more than 0");
            return false;
        }
        plan->deadline = std::chrono::milliseconds(std::lround(seconds * 1000));
    }
    if (!o.host.empty()) {
        *error = _("--host and --hosts/--hosts-file exclude each other");
        return false;
    }
    return true;
}

std::string Self() {
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, static_cast<size_t>(n)) : "orvane";
}

// apply's worker takes apply's options, the FRU and the desired file by its
// full path, and a backup folder of its own host's, so that two hosts'
// backups of the same device address never share a name.
void ApplyArguments(const Options& o, const std::string& host, std::vector<std::string>* argv) {
    if (o.grow)
        argv->push_back("--grow");
    if (o.dryRun)
        argv->push_back("--dry-run");
    std::error_code ec;
    argv->insert(argv->end(), {"--backup-dir", BackupFolder(o) + "/" + host, o.operands[0],
                               std::filesystem::absolute(o.operands[1], ec).string()});
}

// The worker's command line. Only the paths of the password and K_g files
// are passed on, never a password or a key.
FleetJob Job(const std::string& self, const HostEntry& h, const Options& o,
             const std::string& command, bool json) {
    FleetJob job{h.host, {self, "--host", h.host}};
    auto pass = [&](const char* name, const std::string& value) {
        if (!value.empty())
            job.argv.insert(job.argv.end(), {name, value});
    };
    pass("--user", h.user.empty() ? o.user : h.user);
    pass("--password-file", h.passwordFile.empty() ? o.passwordFile : h.passwordFile);
    pass("--interface", o.interface);
    pass("--cipher-suite", h.cipherSuite.empty() ? o.cipherSuite : h.cipherSuite);
    pass("--kg-file", h.kgFile.empty() ? o.kgFile : h.kgFile);
    pass("--privilege", o.privilege);
    pass("--auth-type", o.authType);
    if (o.insecure)
        job.argv.push_back("--insecure");
    pass("--driver", o.driver);
    pass("--lang", o.language);
    pass("--locale", o.locale);
    if (o.debugLevel >= 0)
        pass("--debug-level", std::to_string(o.debugLevel));
    if (json)
        job.argv.push_back("--json");
    job.argv.push_back(command);
    if (command == "apply")
        ApplyArguments(o, h.host, &job.argv);
    return job;
}

const char* Status(const FleetResult& r) {
    if (r.timedOut)
        return "timeout";
    if (r.exitCode == 0)
        return "ok";
    return r.exitCode == kExitPartial ? "partial" : "failed";
}

// The worker's own failure lines, without the prefix that Report gives them.
std::string ErrorText(const FleetResult& r, const Plan& plan) {
    if (r.startFailed)
        return _("the worker process could not be started");
    std::string text;
    std::istringstream lines(r.err);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind(Report::kPrefix, 0) == 0)
            text += (text.empty() ? "" : "; ") + line.substr(std::strlen(Report::kPrefix));
    if (r.timedOut) {
        char limit[32];
        std::snprintf(limit, sizeof limit, "%g", plan.deadline.count() / 1000.0);
        return Text::Format(_("no result within %s s"), limit) + (text.empty() ? "" : "; " + text);
    }
    if (text.empty() && r.exitCode != 0)
        text = Text::Format(_("the worker ended with exit code %d"), r.exitCode);
    return text;
}

// One JSON line: the host's result, then the members of the worker's own
// document ("frus", ...) when it gave one. A failed worker's error object
// repeats the line's error, status and exit code; the line's own stay.
std::string JsonLine(const FleetResult& r, const Plan& plan) {
    Json line;
    line["host"] = r.host;
    line["status"] = Status(r);
    line["exit_code"] = r.exitCode;
    line["error"] = ErrorText(r, plan);
    line["duration"] = std::round(r.seconds * 1000) / 1000;
    if (!r.timedOut) {
        const Json document = Json::parse(r.out, nullptr, false);
        if (document.is_object())
            for (const auto& [key, value] : document.items())
                if (!line.contains(key))
                    line[key] = value;
    }
    return line.dump(-1, ' ', false, Json::error_handler_t::replace);
}

class Progress {
  public:
    explicit Progress(size_t total) : total(total), shown(Report::ProgressShown()) {}
    void Update(size_t ended, size_t failed) {
        if (!shown)
            return;
        constexpr size_t kWidth = 30;
        const size_t filled = total ? ended * kWidth / total : kWidth;
        std::fprintf(stderr, "\r\033[K[%s%s] ", std::string(filled, '#').c_str(),
                     std::string(kWidth - filled, '.').c_str());
        std::fprintf(stderr, _("%zu/%zu hosts, %zu failed"), ended, total, failed);
        std::fflush(stderr);
    }
    void End() {
        if (shown)
            std::fprintf(stderr, "\r\033[K");
    }

  private:
    size_t total;
    bool shown;
};

// Text for people: hosts with identical results share one block, headed by
// the hosts' names; blocks in the order of their first host.
void PrintConsolidated(const std::vector<FleetResult>& results, const Plan& plan) {
    std::map<std::string, size_t> order;
    for (size_t i = 0; i < plan.hosts.size(); ++i)
        order.emplace(plan.hosts[i].host, i);
    std::vector<std::pair<std::string, std::vector<std::string>>> blocks;
    std::vector<const FleetResult*> sorted;
    for (const auto& r : results)
        sorted.push_back(&r);
    std::sort(sorted.begin(), sorted.end(),
              [&](auto* a, auto* b) { return order[a->host] < order[b->host]; });
    for (const FleetResult* r : sorted) {
        const std::string status = Status(*r);
        std::string body = status == "ok" || status == "partial" ? r->out : "";
        if (status != "ok")
            body += status + ": " + ErrorText(*r, plan) + "\n";
        auto block = std::find_if(blocks.begin(), blocks.end(),
                                  [&](const auto& b) { return b.first == body; });
        if (block == blocks.end())
            blocks.push_back({body, {r->host}});
        else
            block->second.push_back(r->host);
    }
    for (size_t i = 0; i < blocks.size(); ++i) {
        std::string names;
        for (const auto& host : blocks[i].second)
            names += (names.empty() ? "" : ",") + host;
        std::printf("%s%s:\n%s", i ? "\n" : "", names.c_str(), blocks[i].first.c_str());
    }
}

int Run(const Options& o, const Plan& plan, const std::string& command, bool json, std::FILE* out) {
    const std::string self = Self();
    std::vector<FleetJob> jobs;
    for (const auto& h : plan.hosts)
        jobs.push_back(Job(self, h, o, command, json));
    Progress progress(jobs.size());
    std::vector<FleetResult> results;
    size_t failed = 0;
    Fleet(plan.fanout, plan.deadline).Run(jobs, [&](const FleetResult& r, size_t ended) {
        failed += std::string(Status(r)) != "ok";
        if (json) {
            progress.End();
            std::fprintf(out, "%s\n", JsonLine(r, plan).c_str());
            std::fflush(out);
        } else {
            results.push_back(r);
        }
        progress.Update(ended, failed);
    });
    progress.End();
    if (!json)
        PrintConsolidated(results, plan);
    if (failed)
        Report::Say(_("%zu of %zu hosts failed\n"), failed, jobs.size());
    return failed ? kExitHostsFailed : kExitOk;
}
} // namespace

int Inventory(const Options& o) {
    const bool listing = o.command == "scan" || o.command == "show" || o.command == "apply";
    if ((o.command != "apply" && !o.operands.empty()) || !o.file.empty())
        return Usage(o.command, _("over --hosts takes no FRU, no operands and no --file"));
    if (o.command == "apply" && (!o.image.empty() || o.operands.size() != 2))
        return Usage(o.command, _("over --hosts takes FRU DESIRED.json, and no --image"));
    Plan plan;
    if (std::string error; !ReadPlan(o, &plan, &error))
        return Usage(o.command, error);
    if (listing)
        return Run(o, plan, o.command, o.json, stdout);
    if (o.out.empty() || o.out == "-")
        return Run(o, plan, "show", true, stdout);
    // A device or pipe is written in place.
    std::error_code ec;
    if (std::filesystem::exists(o.out, ec) && !std::filesystem::is_regular_file(o.out, ec)) {
        std::FILE* target = std::fopen(o.out.c_str(), "w");
        if (!target) {
            return Report::Fail(_("cannot write %s\n"), o.out.c_str());
        }
        const int code = Run(o, plan, "show", true, target);
        std::fclose(target);
        return code;
    }
    // The snapshot appears complete or not at all.
    const std::string partial = o.out + ".part";
    std::FILE* file = std::fopen(partial.c_str(), "w");
    if (!file) {
        return Report::Fail(_("cannot write %s\n"), partial.c_str());
    }
    const int code = Run(o, plan, "show", true, file);
    const bool written = std::fflush(file) == 0 && !std::ferror(file);
    if (std::fclose(file) != 0 || !written || std::rename(partial.c_str(), o.out.c_str()) != 0) {
        Report::Say(_("cannot write %s\n"), o.out.c_str());
        std::remove(partial.c_str());
        return kExitLibrary;
    }
    return code;
}
} // namespace Commands
