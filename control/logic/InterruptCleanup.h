#pragma once
// Files that must not outlive an interrupted run: while a guard lives, an
// interrupt (SIGINT, SIGTERM, SIGHUP) removes its file before the signal
// takes its usual course.

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

}  // namespace qarn::control
