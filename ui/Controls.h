#pragma once

class QLabel;
class QPushButton;
class QWidget;

namespace kestrane {

// A plain caption: left-aligned from the top, no border, never takes the focus. The caption of a
// field names that field to screen readers.
QLabel* makeLabel(QWidget* parent, const char* text, QWidget* field = nullptr);

// A push button that Space, Return and keypad Enter press while it has the focus. No button is
// the window's default or cancel button: Enter elsewhere and Escape press none.
QPushButton* makeButton(QWidget* parent, const char* text);

} // namespace kestrane
