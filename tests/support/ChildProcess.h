#pragma once

#include <functional>
#include <string>

namespace kestrane::testing {

enum class Privileges
{
    Keep,
    // Run as nobody (uid/gid 65534) when started as root, so permission bits hold in CI.
    Drop,
};

// How a step in a child ended: errorNumber 0 for success, the kestrane::Error number it threw, or
// -1 when the child died (description says how).
struct ChildOutcome
{
    int errorNumber = -1;
    std::string description;
};

// Runs `body` in a forked child, so process-wide changes (resource limits, dropped privileges)
// stay there.
ChildOutcome runInChild(const std::function<void()>& body, Privileges privileges = Privileges::Keep);

} // namespace kestrane::testing
