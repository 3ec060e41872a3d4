#pragma once
// Files that must not outlive an interrupted run: while a guard lives, an
// interrupt (SIGINT, SIGTERM, SIGHUP) removes its file before the signal
// takes its usual course.

#include <signal.h>

#include <string>

namespace qarn::control {

class InterruptCleanup {
public:
    explicit InterruptCleanup(const std::string& path);
    ~InterruptCleanup();
    InterruptCleanup(const InterruptCleanup&) = delete;
    InterruptCleanup& operator=(const InterruptCleanup&) = delete;

private:
    int slot_ = -1;  // -1: no room was left; the file is then not guarded
};

// Holds back the interrupts on this thread while it lives, so that a file
// can be created and guarded with no moment in between; one that arrived
// meanwhile is delivered when it ends.
class InterruptsHeld {
public:
    InterruptsHeld();
    ~InterruptsHeld();
    InterruptsHeld(const InterruptsHeld&) = delete;
    InterruptsHeld& operator=(const InterruptsHeld&) = delete;

private:
    sigset_t previous_;  // the thread's signal mask before
};

}  // namespace qarn::control
