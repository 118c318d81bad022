#pragma once

#include <QLabel>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QTest>

namespace kestrane::testing {

// Every single-line label and every button of the window shows its whole caption.
inline void verifyCaptionsFit(const QWidget& window)
{
    for (const QLabel* label : window.findChildren<QLabel*>()) {
        if (label->wordWrap())
            continue;
        QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <= label->contentsRect().width(),
                 qPrintable(label->text()));
        QVERIFY2(label->fontMetrics().height() <= label->contentsRect().height(), qPrintable(label->text()));
    }
    for (const QPushButton* button : window.findChildren<QPushButton*>()) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        const QRect contents =
            button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
        QVERIFY2(button->fontMetrics().horizontalAdvance(button->text()) <= contents.width(),
                 qPrintable(button->text()));
    }
}

} // namespace kestrane::testing
