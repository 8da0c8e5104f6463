// The worker pool of the fleet commands. The library keeps one state per
// process, so every BMC gets a worker process of its own: at most `fanout`
// run at once, each with a deadline after which it is killed. A worker that
// fails or hangs does not hold up the others.
#pragma once
#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

struct FleetJob {
    std::string host;              // the name results are reported under
    std::vector<std::string> argv; // the worker's program and arguments
};

struct FleetResult {
    std::string host;
    int exitCode = -1;     // the worker's exit status; -1 when it did not exit
    bool timedOut = false; // killed at its deadline
    bool startFailed = false;
    std::string out, err; // what it wrote (each cut at kMaxOutput)
    double seconds = 0;   // from start to end
};

class Fleet {
  public:
    // A worker writing more than this to a stream is cut off there.
    static constexpr size_t kMaxOutput = 16u << 20;

    Fleet(size_t fanout, std::chrono::milliseconds deadline);
    // Runs every job and calls `done` once per job as it ends, in the order
    // the jobs end, with the number of jobs ended so far.
    void Run(const std::vector<FleetJob>& jobs,
             const std::function<void(const FleetResult&, size_t ended)>& done);

  private:
    size_t fanout;
    std::chrono::milliseconds deadline;
};
