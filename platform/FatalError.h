#pragma once

#include <functional>
#include <string>

namespace kestrane {

class Error;
class MessageBox;
class ProgramEnd;

// The status the program ends with after a fatal error.
inline constexpr int fatalExitStatus = 1;

// Runs one event handler. A failure escaping it is reported in a message box with its number
// and description, and the program ends; nothing done before the failure is undone.
void runReportingFailures(MessageBox& messageBox, ProgramEnd& programEnd,
                          const std::function<void()>& handler);

// How a window runs each of its event handlers: through runReportingFailures.
class HandlerRunner
{
public:
    HandlerRunner(MessageBox& messageBox, ProgramEnd& programEnd)
        : m_messageBox(messageBox), m_programEnd(programEnd)
    {
    }

    void operator()(const std::function<void()>& handler) const
    {
        runReportingFailures(m_messageBox, m_programEnd, handler);
    }

private:
    MessageBox& m_messageBox;
    ProgramEnd& m_programEnd;
};

} // namespace kestrane
