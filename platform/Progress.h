#pragma once

#include <cstdint>
#include <string>

namespace kestrane {

// Where a long step tells how far it has come. The realisation decides whether the step has
// taken long enough to be worth showing.
class Progress
{
public:
    virtual ~Progress() = default;
    // A step reports 0 done as it starts, so its time counts from then rather than from its first
    // piece of work, and calls finish() when it ends. total 0: the end is not known.
    virtual void report(const std::string& text, std::uint64_t done, std::uint64_t total) = 0;
    virtual void finish() = 0;
};

} // namespace kestrane
