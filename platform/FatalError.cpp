#include "platform/FatalError.h"

#include "base/Error.h"
#include "platform/MessageBox.h"
#include "platform/ProgramEnd.h"

#include <new>

namespace kestrane {

std::string fatalErrorText(const Error& error)
{
    return "Error " + std::to_string(error.number()) + "\n\n" + error.description();
}

void runReportingFailures(MessageBox& messageBox, ProgramEnd& programEnd,
                          const std::function<void()>& handler)
{
    std::string report;
    try {
        handler();
        return;
    } catch (const Error& error) {
        report = fatalErrorText(error);
    } catch (const std::exception& other) {
        report = fatalErrorText(Error(ErrorCode::Unexpected, other.what()));
    }
    messageBox.show(report);
    programEnd.end(fatalExitStatus);
}

} // namespace kestrane
