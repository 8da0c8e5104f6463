// Loads the whole managed system through Orvane and the freeipmi driver
// module and, beside it, runs `ipmitool fru print` and `ipmi-fru` against the
// same BMC. Every client talks to the BMC through a UDP relay in this
// program, which counts the datagrams the client sends (session set-up and
// retransmissions included), so the request counts of all tools are measured
// the same way. Orvane is measured with a cold SDR cache (no cache file) and
// a warm one, each load in a new process, and once more with its caches off.
//
// The BMC is the one ORVANE_IPMI_HOST names. Usage: orvane-ipmi-bench [runs];
// "--once" loads once and exits (the per-process measurements run the program
// so).
#include <orvane/orvane.h>

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// Forwards datagrams between the clients and the BMC and counts those the
// clients send.
class Relay {
  public:
    bool Start(const std::string& host, const std::string& port) {
        addrinfo hints{}, *bmc = nullptr;
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_DGRAM;
        if (getaddrinfo(host.c_str(), port.c_str(), &hints, &bmc) != 0 || !bmc)
            return false;
        back_ = socket(AF_INET, SOCK_DGRAM, 0);
        front_ = socket(AF_INET, SOCK_DGRAM, 0);
        bool ok = back_ >= 0 && front_ >= 0 && connect(back_, bmc->ai_addr, bmc->ai_addrlen) == 0;
        freeaddrinfo(bmc);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof local;
        ok = ok && bind(front_, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0 &&
             getsockname(front_, reinterpret_cast<sockaddr*>(&local), &length) == 0;
        if (!ok)
            return false;
        port_ = ntohs(local.sin_port);
        thread_ = std::thread([this] { Run(); });
        return true;
    }
    void Stop() {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
        close(front_);
        close(back_);
    }
    int Port() const { return port_; }
    uint64_t TakeCount() { return sent_.exchange(0); }

  private:
    void Run() {
        uint8_t buffer[2048];
        sockaddr_storage client{};
        socklen_t clientLength = 0;
        while (!stop_) {
            pollfd fds[2] = {{front_, POLLIN, 0}, {back_, POLLIN, 0}};
            if (poll(fds, 2, 50) <= 0)
                continue;
            if (fds[0].revents & POLLIN) {
                clientLength = sizeof client;
                ssize_t n = recvfrom(front_, buffer, sizeof buffer, 0,
                                     reinterpret_cast<sockaddr*>(&client), &clientLength);
                if (n > 0 && send(back_, buffer, n, 0) == n)
                    ++sent_;
            }
            if (fds[1].revents & POLLIN) {
                ssize_t n = recv(back_, buffer, sizeof buffer, 0);
                if (n > 0 && clientLength)
                    sendto(front_, buffer, n, 0, reinterpret_cast<sockaddr*>(&client),
                           clientLength);
            }
        }
    }
    int front_ = -1, back_ = -1, port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<uint64_t> sent_{0};
    std::thread thread_;
};

// Runs a program with its output discarded and these extra environment
// settings; returns its exit status.
int Run(const std::vector<std::string>& arguments, const std::vector<std::string>& settings) {
    pid_t child = fork();
    if (child == 0) {
        int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        for (const std::string& setting : settings)
            putenv(const_cast<char*>(setting.c_str()));
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

template <typename T> T Median(std::vector<T> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Row {
    std::string what;
    std::vector<uint64_t> datagrams;
    std::vector<double> seconds;
    int failures = 0;
};

struct Plan {
    std::string what;
    std::vector<std::string> command;
    std::vector<std::string> settings; // extra environment settings
    std::string prepare;               // a shell command run before each run
};

// Runs every plan `runs` times through the relay, taking the plans in turn
// so that a busy machine weighs on all of them alike.
std::vector<Row> Measure(const std::vector<Plan>& plans, int runs, Relay& relay) {
    std::vector<Row> rows;
    for (const Plan& plan : plans)
        rows.push_back(Row{plan.what, {}, {}, 0});
    for (int i = 0; i < runs; ++i) {
        for (size_t p = 0; p < plans.size(); ++p) {
            Row& row = rows[p];
            if (!plans[p].prepare.empty() && std::system(plans[p].prepare.c_str()) != 0)
                ++row.failures;
            relay.TakeCount();
            auto start = Clock::now();
            if (Run(plans[p].command, plans[p].settings) != 0)
                ++row.failures;
            row.seconds.push_back(std::chrono::duration<double>(Clock::now() - start).count());
            usleep(20000); // lets the last datagrams (Close Session) reach the relay
            row.datagrams.push_back(relay.TakeCount());
        }
    }
    return rows;
}

void Print(const Row& row) {
    std::printf("| %-34s | %9llu | %8.3f s | %8.3f s |%s\n", row.what.c_str(),
                static_cast<unsigned long long>(Median(row.datagrams)), Median(row.seconds),
                *std::min_element(row.seconds.begin(), row.seconds.end()),
                row.failures ? " FAILED runs" : "");
}

// Counters of the driver module the library loaded.
uint64_t ModuleCount(const char* function) {
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&Initialize), &info) || !info.dli_fname)
        return 0;
    std::string path = info.dli_fname;
    path = path.substr(0, path.rfind('/') + 1) + "orvane-driver-freeipmi.so";
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (!module)
        return 0;
    auto count = reinterpret_cast<uint64_t (*)()>(dlsym(module, function));
    uint64_t value = count ? count() : 0;
    dlclose(module);
    return value;
}

// One Initialize, LoadConfigurationFromSystem, DeInitialize; false when no
// FRU was read.
bool LoadOnce() {
    OrvaneInterface api;
    std::memset(&api, 0, sizeof api);
    api.setLanguage = SetLanguageLocale;
    if (Initialize(&api) != ORVANE_OK) {
        std::fprintf(stderr, "Initialize failed (is ORVANE_DATA_DIR set?)\n");
        return false;
    }
    uint32_t present = 0, read = 0;
    uint32_t status = LoadConfigurationFromSystem(&api);
    if (status == ORVANE_OK && SelectList(&api, ORVANE_LIST_SYSTEM) == ORVANE_OK)
        GetNumberOfFrus(&api, &present, &read);
    DeInitialize(&api);
    return status == ORVANE_OK && read > 0;
}

std::string PeerConfig(const std::string& folder, const std::string& interface) {
    std::string config = folder + "/freeipmi.conf";
    std::string password;
    if (FILE* in = std::fopen(Env("ORVANE_IPMI_PASSWORD_FILE").c_str(), "r")) {
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
    return config;
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--once") == 0)
        return LoadOnce() ? 0 : 1;
    int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
    std::string host = Env("ORVANE_IPMI_HOST");
    if (host.empty() || Env("ORVANE_IPMI_PASSWORD_FILE").empty()) {
        std::printf("the benchmark needs ORVANE_IPMI_HOST and ORVANE_IPMI_PASSWORD_FILE\n");
        return 1;
    }
    std::string name = host, port = "623";
    if (size_t colon = host.rfind(':'); colon != std::string::npos) {
        name = host.substr(0, colon);
        port = host.substr(colon + 1);
    }
    std::string interface =
        Env("ORVANE_IPMI_INTERFACE").empty() ? "lanplus" : Env("ORVANE_IPMI_INTERFACE");
    Relay relay;
    if (!relay.Start(name, port)) {
        std::printf("cannot start the UDP relay to %s\n", host.c_str());
        return 1;
    }
    const std::string relayPort = std::to_string(relay.Port());
    char folder[] = "/tmp/orvane-bench-XXXXXX";
    if (!mkdtemp(folder))
        return 1;
    const std::string cache = std::string(folder) + "/cache";
    const std::vector<std::string> orvane = {"ORVANE_IPMI_HOST=127.0.0.1:" + relayPort,
                                             "XDG_CACHE_HOME=" + cache, "ORVANE_IPMI_STATS=0"};

    // Repeated loads in this process (session and learned sizes kept): the
    // module's own counts of library and wire requests.
    setenv("ORVANE_IPMI_HOST", ("127.0.0.1:" + relayPort).c_str(), 1);
    setenv("XDG_CACHE_HOME", cache.c_str(), 1);
    uint64_t library = 0, wire = 0;
    for (int i = 0; i < 3; ++i) {
        uint64_t libraryBefore = ModuleCount("OrvaneIpmiLibraryRequestCount");
        uint64_t wireBefore = ModuleCount("OrvaneIpmiRequestCount");
        if (!LoadOnce()) {
            std::printf("Orvane could not load the system through %s\n", host.c_str());
            return 1;
        }
        library = ModuleCount("OrvaneIpmiLibraryRequestCount") - libraryBefore;
        wire = ModuleCount("OrvaneIpmiRequestCount") - wireBefore;
    }

    std::vector<Plan> plans;
    plans.push_back(
        {"Orvane, caches off",
         {argv[0], "--once"},
         {orvane[0], orvane[1], orvane[2], "ORVANE_IPMI_READAHEAD=0", "ORVANE_IPMI_SDR_CACHE=0"},
         ""});
    plans.push_back(
        {"Orvane, cold SDR cache", {argv[0], "--once"}, orvane, "rm -rf '" + cache + "'"});
    plans.push_back({"Orvane, warm SDR cache", {argv[0], "--once"}, orvane, ""});

    std::vector<std::string> ipmitool = {"ipmitool",
                                         "-I",
                                         interface,
                                         "-H",
                                         "127.0.0.1",
                                         "-p",
                                         relayPort,
                                         "-U",
                                         Env("ORVANE_IPMI_USER"),
                                         "-f",
                                         Env("ORVANE_IPMI_PASSWORD_FILE"),
                                         "-L",
                                         "ADMINISTRATOR"};
    if (interface != "lan") {
        // ipmitool would try cipher suite 17 first, which ipmi_sim lacks.
        ipmitool.push_back("-C");
        ipmitool.push_back(Env("ORVANE_IPMI_CIPHER").empty() ? "3" : Env("ORVANE_IPMI_CIPHER"));
    }
    ipmitool.push_back("fru");
    ipmitool.push_back("print");
    plans.push_back({"ipmitool fru print", ipmitool, {}, ""});

    // ipmi-fru takes the password from a configuration file; its SDR cache is
    // built on its first run and used after.
    std::vector<std::string> ipmiFru = {
        "ipmi-fru",     "--config-file=" + PeerConfig(folder, interface),
        "-h",           "127.0.0.1:" + relayPort,
        "--bridge-fru", "--sdr-cache-directory=" + std::string(folder),
        "--quiet-cache"};
    plans.push_back({"ipmi-fru --bridge-fru", ipmiFru, {}, ""});
    std::vector<Row> rows = Measure(plans, runs, relay);
    relay.Stop();

    std::printf("\n%s, %d runs each, a new process per load; datagrams sent to the BMC "
                "(session set-up included), medians\n\n",
                interface.c_str(), runs);
    std::printf("| %-34s | %9s | %10s | %10s |\n", "", "datagrams", "wall", "fastest");
    std::printf("|%s|%s|%s|%s|\n", std::string(36, '-').c_str(), std::string(11, '-').c_str(),
                std::string(12, '-').c_str(), std::string(12, '-').c_str());
    for (const Row& row : rows)
        Print(row);
    std::printf("\nOrvane, repeated loads in one process (session kept): %llu requests from the "
                "library, %llu on the wire per load\n",
                static_cast<unsigned long long>(library), static_cast<unsigned long long>(wire));
    std::string cleanup = std::string("rm -rf '") + folder + "'";
    bool failed = std::any_of(rows.begin(), rows.end(), [](const Row& r) { return r.failures; });
    return std::system(cleanup.c_str()) == 0 && !failed ? 0 : 1;
}
