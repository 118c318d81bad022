#include "platform/FatalError.h"

#include "base/Error.h"
#include "platform/MessageBox.h"
#include "platform/ProgramEnd.h"

#include <new>

namespace kestrane {

void runReportingFailures(MessageBox& messageBox, ProgramEnd& programEnd,
                          const std::function<void()>& handler)
{
    std::string report;
    try {
        handler();
        return;
    } catch (const Error& error) {
        report = reportText(error);
    } catch (const std::exception& other) {
        report = reportText(Error(ErrorCode::Unexpected, other.what()));
    }
    messageBox.show(report);
    programEnd.end(fatalExitStatus);
}

} // namespace kestrane
