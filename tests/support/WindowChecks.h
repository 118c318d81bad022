#pragma once

#include <QLabel>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QTest>
#include <algorithm>
#include <cmath>

namespace kestrane::testing {

// Every single-line label and every button of the window shows its whole caption, and no label's
// text comes closer to the right edge than the controls stand from the left one.
inline void verifyCaptionsFit(const QWidget& window)
{
    int margin = window.width();
    for (const QWidget* control : window.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        margin = std::min(margin, control->x());
    for (const QLabel* label : window.findChildren<QLabel*>()) {
        if (label->wordWrap())
            continue;
        const int text =
            static_cast<int>(std::ceil(QFontMetricsF(label->font(), label).horizontalAdvance(label->text())));
        QVERIFY2(text <= label->contentsRect().width(), qPrintable(label->text()));
        QVERIFY2(label->x() + label->contentsRect().left() + text <= window.width() - margin,
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
