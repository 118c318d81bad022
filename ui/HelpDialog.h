#pragma once

#include "platform/FatalError.h"
#include "platform/Services.h"

#include <QWidget>
#include <functional>

class QLabel;
class QPushButton;

namespace kestrane {

// The About dialog: names the tool and opens the maker's tools page in the browser.
class HelpDialog : public QWidget
{
    Q_OBJECT

public:
    static constexpr const char* toolsPage = "http://www.norvale.example/education/dl/tools/";

    explicit HelpDialog(Services services);

    QLabel* Label1;
    QPushButton* Command1;
    QPushButton* OKButton;

private:
    void Command1_Click();
    void OKButton_Click();

    Services m_services;
    // Every event handler runs through it, so a failure is reported and ends the program.
    HandlerRunner m_handle{m_services.messageBox, m_services.programEnd};
};

} // namespace kestrane
