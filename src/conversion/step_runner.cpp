#include "conversion/step_runner.h"

namespace conversion {

bool StepRunner::step(const std::function<void()>& body) {
    try {
        body();
        return true;
    } catch (const RunInterrupted&) {
        throw;
    } catch (const RunStopped&) {
        throw;
    } catch (const std::exception& e) {
        lastFailure_ = e.what();
    } catch (...) {
        lastFailure_ = "unknown failure";
    }
    if (mode_ == Mode::StopOnFailure) throw RunStopped(lastFailure_);
    return false;
}

}  // namespace conversion
