#pragma once

#include <QLineEdit>

namespace kestrane {

// A text field whose whole text is selected whenever it gains the focus, so typing replaces
// it: by Tab, at start-up, and by a mouse click, whose press would otherwise place the cursor.
class SelectAllLineEdit : public QLineEdit
{
    Q_OBJECT

public:
    using QLineEdit::QLineEdit;

protected:
    void focusInEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void selectWholeText();

    bool m_pressGaveFocus = false;
};

} // namespace kestrane
