#include "logic/InterruptCleanup.h"

#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cstring>
#include <mutex>

namespace qarn::control {

namespace {

// Fixed storage the signal handler can read without allocating: a slot is
// claimed, its path written, and only then marked active.
struct Slot {
    std::atomic<bool> claimed{false};
    std::atomic<bool> active{false};
    char path[PATH_MAX] = {};
};

std::array<Slot, 8> slots;
constexpr std::array<int, 3> kSignals = {SIGINT, SIGTERM, SIGHUP};
std::array<struct sigaction, kSignals.size()> previous;

void OnInterrupt(int signal) {
    for (Slot& slot : slots)
        if (slot.active.load()) ::unlink(slot.path);
    // Then whatever was there before this handler, as if it had never been.
    for (size_t i = 0; i < kSignals.size(); ++i)
        if (kSignals[i] == signal) ::sigaction(signal, &previous[i], nullptr);
    ::raise(signal);
}

void InstallHandlers() {
    for (size_t i = 0; i < kSignals.size(); ++i) {
        struct sigaction action {};
        action.sa_handler = OnInterrupt;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESETHAND;
        ::sigaction(kSignals[i], &action, &previous[i]);
        // An ignored signal stays ignored: nothing would end the run.
        if (previous[i].sa_handler == SIG_IGN) ::sigaction(kSignals[i], &previous[i], nullptr);
    }
}

}  // namespace

InterruptCleanup::InterruptCleanup(const std::string& path) {
    static std::once_flag installed;
    std::call_once(installed, InstallHandlers);
    if (path.size() >= PATH_MAX) return;
    for (size_t i = 0; i < slots.size(); ++i) {
        bool expected = false;
        if (!slots[i].claimed.compare_exchange_strong(expected, true)) continue;
        std::memcpy(slots[i].path, path.c_str(), path.size() + 1);
        slots[i].active.store(true);
        slot_ = static_cast<int>(i);
        return;
    }
}

InterruptsHeld::InterruptsHeld() {
    sigset_t held;
    sigemptyset(&held);
    for (int signal : kSignals) sigaddset(&held, signal);
    ::pthread_sigmask(SIG_BLOCK, &held, &previous_);
}

InterruptsHeld::~InterruptsHeld() {
    ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

InterruptCleanup::~InterruptCleanup() {
    if (slot_ < 0) return;
    slots[static_cast<size_t>(slot_)].active.store(false);
    slots[static_cast<size_t>(slot_)].claimed.store(false);
}

}  // namespace qarn::control
