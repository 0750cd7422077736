#pragma once

#include <string>
#include <utility>

namespace zendro {

// The outcome of a step that can fail: success, or the step that failed in plain words and the
// cause that Windows, libcurl or a program gave. Each subsystem turns it into its own bool or
// reply word at its edge; the log reads the reason. Carried as a value, never kept anywhere.
class Result {
  public:
    static Result Ok() { return Result(); }
    static Result Failed(std::string step, std::string cause) {
        Result result;
        result.ok_ = false;
        result.step_ = std::move(step);
        result.cause_ = std::move(cause);
        return result;
    }

    bool ok() const { return ok_; }
    explicit operator bool() const { return ok_; }
    const std::string& step() const { return step_; }
    const std::string& cause() const { return cause_; }

    // "<step>: <cause>", the step alone when there is no cause, "" on success.
    std::string Describe() const;

  private:
    Result() = default;
    bool ok_ = true;
    std::string step_;
    std::string cause_;
};

// A Windows error code as the cause texts show it: the system's message when there is one,
// followed by the code ("Access is denied. (error 5)"); "error <code>" alone otherwise.
std::string DescribeErrorCode(unsigned long code, const std::string& systemMessage);

}  // namespace zendro
