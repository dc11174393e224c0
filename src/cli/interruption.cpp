#include "cli/interruption.h"

#include <atomic>
#include <csignal>

namespace mosaiq {

namespace {

    std::atomic<int> writers { 0 };
    volatile std::sig_atomic_t caught = 0;

    static_assert(std::atomic<int>::is_always_lock_free, "used from a signal handler");

    void onSignal(int signal)
    {
        if (writers.load() == 0) {
            std::signal(signal, SIG_DFL);
            std::raise(signal);
            return;
        }
        caught = signal;
    }

} // namespace

void catchInterruptions()
{
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a write blocked on a pipe returns, so the run can end.
    action.sa_flags = 0;
    for (const int signal : { SIGINT, SIGTERM, SIGHUP }) {
        // A signal ignored by whoever started the program (nohup, a background job of a script)
        // stays ignored.
        struct sigaction before = {};
        if (sigaction(signal, nullptr, &before) == 0 && before.sa_handler != SIG_IGN)
            sigaction(signal, &action, nullptr);
    }
}

WritingOutputs::WritingOutputs()
{
    ++writers;
}

WritingOutputs::~WritingOutputs()
{
    --writers;
}

bool interrupted()
{
    return caught != 0;
}

void endIfInterrupted()
{
    if (caught == 0)
        return;
    const int signal = caught;
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

} // namespace mosaiq
