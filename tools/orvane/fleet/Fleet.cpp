#include "fleet/Fleet.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
using Clock = std::chrono::steady_clock;

struct Worker {
    FleetResult result;
    pid_t pid = -1;
    int fd[2] = {-1, -1}; // stdout, stderr
    Clock::time_point start, deadline;
};

// Starts a worker with stdin from /dev/null and both output streams on
// pipes. False when the pipes or the process could not be made.
bool Start(const FleetJob& job, Worker* w) {
    int out[2], err[2];
    if (pipe2(out, O_CLOEXEC) != 0)
        return false;
    if (pipe2(err, O_CLOEXEC) != 0) {
        close(out[0]);
        close(out[1]);
        return false;
    }
    std::vector<char*> argv;
    for (const auto& a : job.argv)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_RDONLY);
        if (null < 0 || dup2(null, 0) < 0 || dup2(out[1], 1) < 0 || dup2(err[1], 2) < 0)
            _exit(127);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    if (pid < 0) {
        close(out[0]);
        close(err[0]);
        return false;
    }
    w->pid = pid;
    w->fd[0] = out[0];
    w->fd[1] = err[0];
    return true;
}

// Reads what is available on one of the worker's streams; closes it at its end.
void Drain(Worker* w, int stream) {
    char buffer[8192];
    const ssize_t n = read(w->fd[stream], buffer, sizeof buffer);
    if (n < 0 && (errno == EINTR || errno == EAGAIN))
        return;
    if (n <= 0) {
        close(w->fd[stream]);
        w->fd[stream] = -1;
        return;
    }
    std::string& text = stream == 0 ? w->result.out : w->result.err;
    if (text.size() < Fleet::kMaxOutput)
        text.append(buffer, std::min(static_cast<size_t>(n), Fleet::kMaxOutput - text.size()));
}

// Records how the worker ended and closes what is still open.
void Ended(Worker* w, int status) {
    if (!w->result.timedOut && WIFEXITED(status))
        w->result.exitCode = WEXITSTATUS(status);
    for (int& fd : w->fd)
        if (fd >= 0) {
            close(fd);
            fd = -1;
        }
    w->result.seconds = std::chrono::duration<double>(Clock::now() - w->start).count();
}

// True when the worker has ended: it exited after closing its streams, or it
// was killed at its deadline.
bool Reap(Worker* w, Clock::time_point now) {
    int status = 0;
    if (w->fd[0] < 0 && w->fd[1] < 0 && waitpid(w->pid, &status, WNOHANG) == w->pid) {
        Ended(w, status);
        return true;
    }
    if (now < w->deadline)
        return false;
    ::kill(w->pid, SIGKILL);
    w->result.timedOut = true;
    while (waitpid(w->pid, &status, 0) < 0 && errno == EINTR) {
    }
    Ended(w, status);
    return true;
}
} // namespace

Fleet::Fleet(size_t fanout, std::chrono::milliseconds deadline)
    : fanout(fanout ? fanout : 1), deadline(deadline) {}

void Fleet::Run(const std::vector<FleetJob>& jobs,
                const std::function<void(const FleetResult&, size_t ended)>& done) {
    std::vector<Worker> running;
    size_t next = 0, ended = 0;
    auto report = [&](Worker& w) { done(w.result, ++ended); };
    while (next < jobs.size() || !running.empty()) {
        while (next < jobs.size() && running.size() < fanout) {
            Worker w;
            w.result.host = jobs[next].host;
            w.start = Clock::now();
            w.deadline = w.start + deadline;
            if (Start(jobs[next++], &w)) {
                running.push_back(std::move(w));
            } else {
                w.result.startFailed = true;
                report(w);
            }
        }
        if (running.empty())
            continue;
        // Wait for output, the nearest deadline, or (when a worker closed its
        // streams but has not exited yet) a short while.
        std::vector<pollfd> fds;
        auto nearest = running.front().deadline;
        bool exiting = false;
        for (const auto& w : running) {
            nearest = std::min(nearest, w.deadline);
            exiting = exiting || (w.fd[0] < 0 && w.fd[1] < 0);
            for (int fd : w.fd)
                if (fd >= 0)
                    fds.push_back({fd, POLLIN, 0});
        }
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(nearest - Clock::now());
        const int timeout =
            static_cast<int>(std::clamp<long long>(wait.count(), 0, exiting ? 5 : 1000));
        poll(fds.data(), fds.size(), timeout);
        size_t k = 0;
        for (auto& w : running)
            for (int stream = 0; stream < 2; ++stream)
                if (w.fd[stream] >= 0) {
                    if (k < fds.size() && fds[k].revents)
                        Drain(&w, stream);
                    ++k;
                }
        const auto now = Clock::now();
        for (size_t i = 0; i < running.size();) {
            if (Reap(&running[i], now)) {
                report(running[i]);
                running.erase(running.begin() + static_cast<long>(i));
            } else {
                ++i;
            }
        }
    }
}
