// How the main window's controls look: the skin's colours and the rules that
// keep a text whole in a small box (set smaller, never cut).
#pragma once

#include <QColor>
#include <QFont>
#include <QString>

#include "ride/verdict.h"

class QLabel;
class QLineEdit;
class QWidget;

namespace torvix::app {

inline const QColor kFieldBackground(33, 37, 41);
inline const QColor kTextColour(180, 200, 220);

// The small buttons added beside the original controls (Suggest, Banking, Ride report).
inline constexpr const char* kSmallButtonStyle =
    "QLabel { color: rgb(180, 200, 220); background: rgb(33, 37, 41); border: 1px solid rgb(74, 82, 92);"
    " border-radius: 4px; padding: 0 4px; font-size: 11px; }"
    "QLabel:hover { border-color: rgb(130, 150, 172); }"
    "QLabel:disabled { color: rgb(88, 96, 106); border-color: rgb(52, 58, 66); }";

// A ride verdict's level, as the window and the ride report colour it.
QColor VerdictColour(ride::VerdictLevel level);

void SetColours(QWidget* w, const QColor& background, const QColor& text);
void SetTextOnlyColour(QWidget* w, const QColor& text);

// `base`, or smaller down to a readable size, so that `text` fits `width`:
// a cut-off sign or leading digit would show a wrong number.
QFont FontToFit(const QFont& base, const QString& text, int width);

// Room for text inside a frameless line edit.
int LineEditTextWidth(const QLineEdit* field);

// The message line is short: a text too long for one line is wrapped and set
// smaller than `base` until it fits, so no message is ever cut.
void FitMessageLine(QLabel* line, const QFont& base);

}  // namespace torvix::app
