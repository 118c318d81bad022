#include "ui/SelectAllLineEdit.h"

#include <QFocusEvent>

namespace kestrane {

void SelectAllLineEdit::selectWholeText()
{
    setSelection(0, static_cast<int>(text().size()));
    if (text().isEmpty())
        setCursorPosition(0);
}

void SelectAllLineEdit::focusInEvent(QFocusEvent* event)
{
    QLineEdit::focusInEvent(event);
    const Qt::FocusReason reason = event->reason();
    m_pressGaveFocus = reason == Qt::MouseFocusReason;
    if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason || reason == Qt::MouseFocusReason)
        selectWholeText();
}

void SelectAllLineEdit::mousePressEvent(QMouseEvent* event)
{
    if (m_pressGaveFocus) {
        m_pressGaveFocus = false;
        event->accept();
        return;
    }
    QLineEdit::mousePressEvent(event);
}

} // namespace kestrane
