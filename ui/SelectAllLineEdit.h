#pragma once

#include <QLineEdit>

namespace kestrane {

// A text field whose whole text is selected when the user enters it, so typing replaces it: by
// Tab or Shift+Tab, and by a mouse click, whose press would otherwise place the cursor. Focus
// coming back after the field's own menu or from another window keeps the caret and selection.
class SelectAllLineEdit : public QLineEdit
{
    Q_OBJECT

public:
    using QLineEdit::QLineEdit;

    // Selects the whole text; an empty field gets the cursor at its start.
    void selectWholeText();

protected:
    void focusInEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    bool m_pressGaveFocus = false;
};

} // namespace kestrane
