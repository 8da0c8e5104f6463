// Loads the whole managed system through Orvane and the freeipmi driver
// module several times and prints the wall time and the number of IPMI
// requests the module put on the wire, beside the wall time of
// `ipmitool fru print` and `ipmi-fru` against the same BMC.
//
// The BMC is the one the ORVANE_IPMI_* settings name (a LAN host is needed
// for the peer tools). Usage: orvane-ipmi-bench [runs]; "--once" loads once
// and exits (the fresh-process measurement runs the program so).
#include <orvane/orvane.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// The driver module's request counter, from the module the library loaded.
uint64_t RequestCount() {
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&Initialize), &info) || !info.dli_fname)
        return 0;
    std::string path = info.dli_fname;
    path = path.substr(0, path.rfind('/') + 1) + "orvane-driver-freeipmi.so";
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (!module)
        return 0;
    auto count = reinterpret_cast<uint64_t (*)()>(dlsym(module, "OrvaneIpmiRequestCount"));
    uint64_t value = count ? count() : 0;
    dlclose(module);
    return value;
}

// Runs a program with its output discarded; returns its exit status.
int Run(const std::vector<std::string>& arguments) {
    pid_t child = fork();
    if (child == 0) {
        int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        std::vector<char*> argv;
        for (const std::string& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}

struct Timing {
    double first = 0;
    double median = 0;
    int failures = 0;
};

Timing Measure(int runs, const std::vector<std::string>& command) {
    std::vector<double> times;
    Timing timing;
    for (int i = 0; i < runs; ++i) {
        auto start = Clock::now();
        if (Run(command) != 0)
            ++timing.failures;
        times.push_back(Seconds(start));
    }
    timing.first = times.front();
    std::sort(times.begin(), times.end());
    timing.median = times[times.size() / 2];
    return timing;
}

void Print(const char* what, const Timing& timing, const char* note) {
    std::printf("%-34s first %7.3f s  median %7.3f s%s%s\n", what, timing.first, timing.median,
                timing.failures ? "  (FAILED runs)" : "", note);
}

} // namespace

int main(int argc, char** argv) {
    bool once = argc > 1 && std::strcmp(argv[1], "--once") == 0;
    int runs = once ? 1 : argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    OrvaneInterface api;
    std::memset(&api, 0, sizeof api);
    api.setLanguage = SetLanguageLocale;

    // Orvane: every run is a whole Initialize, LoadConfigurationFromSystem,
    // DeInitialize; the module and its session stay from the first run on.
    std::vector<double> times;
    std::vector<uint64_t> requests;
    uint32_t frus = 0;
    for (int i = 0; i < runs; ++i) {
        uint64_t before = RequestCount();
        auto start = Clock::now();
        if (Initialize(&api) != ORVANE_OK) {
            std::printf("Initialize failed (is ORVANE_DATA_DIR set?)\n");
            return 1;
        }
        uint32_t present = 0;
        uint32_t status = LoadConfigurationFromSystem(&api);
        if (status == ORVANE_OK && SelectList(&api, ORVANE_LIST_SYSTEM) == ORVANE_OK)
            GetNumberOfFrus(&api, &present, &frus);
        DeInitialize(&api);
        times.push_back(Seconds(start));
        requests.push_back(RequestCount() - before);
        if (status != ORVANE_OK || frus == 0) {
            std::printf("LoadConfigurationFromSystem: 0x%08X, %u FRUs read\n",
                        static_cast<unsigned>(status), static_cast<unsigned>(frus));
            return 1;
        }
    }
    if (once)
        return 0;
    Timing orvane;
    orvane.first = times.front();
    std::sort(times.begin(), times.end());
    orvane.median = times[times.size() / 2];
    std::string interface =
        Env("ORVANE_IPMI_INTERFACE").empty() ? "lanplus" : Env("ORVANE_IPMI_INTERFACE");
    std::printf("%d runs over %s, %u FRUs\n", runs,
                Env("ORVANE_IPMI_HOST").empty() ? "in-band" : interface.c_str(),
                static_cast<unsigned>(frus));
    char note[96];
    std::snprintf(note, sizeof note, "  %llu requests per load (first %llu)",
                  static_cast<unsigned long long>(requests.back()),
                  static_cast<unsigned long long>(requests.front()));
    Print("Orvane, loads in one process", orvane, note);
    Print("Orvane, a new process per load", Measure(runs, {argv[0], "--once"}),
          "  (each opens its own session)");

    std::string host = Env("ORVANE_IPMI_HOST");
    std::string passwordFile = Env("ORVANE_IPMI_PASSWORD_FILE");
    if (host.empty() || passwordFile.empty()) {
        std::printf("(the peer tools need ORVANE_IPMI_HOST and ORVANE_IPMI_PASSWORD_FILE)\n");
        return 0;
    }
    std::string name = host;
    std::string port = "623";
    if (size_t colon = host.rfind(':'); colon != std::string::npos) {
        name = host.substr(0, colon);
        port = host.substr(colon + 1);
    }
    std::vector<std::string> ipmitool = {"ipmitool",     "-I",         interface,
                                         "-H",           name,         "-p",
                                         port,           "-U",         Env("ORVANE_IPMI_USER"),
                                         "-f",           passwordFile, "-L",
                                         "ADMINISTRATOR"};
    if (interface != "lan") {
        // ipmitool would try cipher suite 17 first, which ipmi_sim lacks.
        ipmitool.push_back("-C");
        ipmitool.push_back(Env("ORVANE_IPMI_CIPHER").empty() ? "3" : Env("ORVANE_IPMI_CIPHER"));
    }
    ipmitool.push_back("fru");
    ipmitool.push_back("print");
    Print("ipmitool fru print", Measure(runs, ipmitool), "");

    // ipmi-fru takes the password from a configuration file, not its command
    // line; its SDR cache is built on the first run and used after.
    char folder[] = "/tmp/orvane-bench-XXXXXX";
    if (!mkdtemp(folder))
        return 1;
    std::string config = std::string(folder) + "/freeipmi.conf";
    std::string password;
    if (FILE* in = std::fopen(passwordFile.c_str(), "r")) {
        char line[256] = {};
        if (std::fgets(line, sizeof line, in))
            password = std::string(line, std::strcspn(line, "\r\n"));
        std::fclose(in);
    }
    int fd = open(config.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (FILE* out = fd >= 0 ? fdopen(fd, "w") : nullptr) {
        std::fprintf(out, "driver-type %s\nusername %s\npassword %s\nprivilege-level ADMIN\n",
                     interface == "lan" ? "LAN" : "LAN_2_0", Env("ORVANE_IPMI_USER").c_str(),
                     password.c_str());
        // ipmi_sim wants the privilege named in the Open Session request.
        if (interface != "lan")
            std::fprintf(out, "workaround-flags opensesspriv\n");
        std::fclose(out);
    }
    std::vector<std::string> ipmiFru = {"ipmi-fru",
                                        "--config-file=" + config,
                                        "-h",
                                        host,
                                        "--sdr-cache-directory=" + std::string(folder),
                                        "--quiet-cache"};
    Print("ipmi-fru", Measure(runs, ipmiFru), "  (first run builds its SDR cache)");
    unlink(config.c_str());
    std::string cleanup = std::string("rm -rf ") + folder;
    return std::system(cleanup.c_str()) == 0 ? 0 : 1;
}
