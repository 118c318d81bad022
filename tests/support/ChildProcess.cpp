#include "tests/support/ChildProcess.h"

#include "base/Error.h"

#include <cstring>
#include <grp.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace kestrane::testing {

namespace {

constexpr uid_t nobody = 65534;

void report(int fd, int number, const std::string& description)
{
    const std::string text = std::to_string(number) + "\n" + description;
    [[maybe_unused]] const ssize_t written = ::write(fd, text.data(), text.size());
}

[[noreturn]] void runChild(int fd, const std::function<void()>& body, Privileges privileges)
{
    if (privileges == Privileges::Drop && ::geteuid() == 0 &&
        (::setgroups(0, nullptr) != 0 || ::setgid(nobody) != 0 || ::setuid(nobody) != 0)) {
        report(fd, -1, std::string("cannot drop privileges: ") + std::strerror(errno));
        ::_exit(1);
    }
    try {
        body();
        report(fd, 0, {});
    } catch (const Error& error) {
        report(fd, error.number(), error.description());
    } catch (const std::exception& error) {
        report(fd, -1, error.what());
    }
    ::_exit(0);
}

} // namespace

ChildOutcome runInChild(const std::function<void()>& body, Privileges privileges)
{
    int fds[2];
    if (::pipe(fds) != 0)
        throw std::runtime_error("pipe failed");
    const pid_t pid = ::fork();
    if (pid < 0)
        throw std::runtime_error("fork failed");
    if (pid == 0) {
        ::close(fds[0]);
        runChild(fds[1], body, privileges);
    }
    ::close(fds[1]);
    std::string text;
    char buffer[512];
    ssize_t got;
    while ((got = ::read(fds[0], buffer, sizeof buffer)) > 0)
        text.append(buffer, std::size_t(got));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ChildOutcome outcome;
    const auto newline = text.find('\n');
    if (newline == std::string::npos) {
        outcome.description = WIFSIGNALED(status) ? "killed by signal " + std::to_string(WTERMSIG(status))
                                                  : "ended without a report";
        return outcome;
    }
    outcome.errorNumber = std::stoi(text.substr(0, newline));
    outcome.description = text.substr(newline + 1);
    return outcome;
}

} // namespace kestrane::testing
