#pragma once
// The run's two failure modes, in one place. Until folder creation starts a
// failing step ends the run through its error path; from then on a failing
// step is skipped and the run goes on with the next one.

#include <functional>
#include <stdexcept>
#include <string>

namespace conversion {

// Leaves the run through its error path (stop-on-failure mode).
class RunStopped : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The user closed the window: the run ends early but orderly.
class RunInterrupted : public std::runtime_error {
public:
    RunInterrupted() : std::runtime_error("The run was interrupted") {}
};

class StepRunner {
public:
    enum class Mode { StopOnFailure, SkipOnFailure };

    Mode mode() const { return mode_; }
    void switchToSkipOnFailure() { mode_ = Mode::SkipOnFailure; }

    // Runs one step. Returns true when it succeeded. A failure throws
    // RunStopped in stop-on-failure mode and returns false otherwise, with
    // the reason kept in lastFailure(). An interruption always passes.
    bool step(const std::function<void()>& body);

    const std::string& lastFailure() const { return lastFailure_; }

private:
    Mode mode_ = Mode::StopOnFailure;
    std::string lastFailure_;
};

}  // namespace conversion
