#pragma once

namespace kestrane {

// Ends the program at once: no further event of any window runs.
class ProgramEnd
{
public:
    virtual ~ProgramEnd() = default;
    virtual void end(int status) = 0;
};

// The real one: leaves the process with the status. Every store write is already on disk.
class ProcessExit : public ProgramEnd
{
public:
    [[noreturn]] void end(int status) override;
};

} // namespace kestrane
