#pragma once

#include <QElapsedTimer>

#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

// A program run as the benchmarks run mosaiq-cli: its own process, timed from the fork to its
// end, with its peak resident memory as the system counted it.
namespace childrun {

struct Measure {
    double seconds = 0;
    long peakKiB = 0;
    int status = -1;
    double processorSeconds = 0; // user and system, every thread

    bool succeeded() const { return WIFEXITED(status) && WEXITSTATUS(status) == 0; }
};

// Standard output goes to outPath; standard error stays on the terminal unless quiet.
inline Measure run(const std::vector<std::string>& argv, const std::string& outPath, bool quiet)
{
    QElapsedTimer timer;
    timer.start();
    // What this process printed must not be printed again by the child's copy of its buffer.
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) {
        const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(out, 1);
        if (quiet)
            ::dup2(::open("/dev/null", O_WRONLY), 2);
        std::vector<char*> args;
        for (const auto& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    rusage usage {};
    ::wait4(pid, &status, 0, &usage);
    const auto seconds = [](timeval t) { return double(t.tv_sec) + t.tv_usec / 1e6; };
    return { timer.nsecsElapsed() / 1e9, usage.ru_maxrss, status,
        seconds(usage.ru_utime) + seconds(usage.ru_stime) };
}

} // namespace childrun
