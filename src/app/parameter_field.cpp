#include "app/parameter_field.h"

#include <QApplication>
#include <QClipboard>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>

namespace torvix {

ParameterField::ParameterField(KeyFilter filter, QWidget* parent)
    : QLineEdit(parent), filter_(std::move(filter)) {
    // Drops and the context menu's paste would bypass the filter.
    setAcceptDrops(false);
    setDragEnabled(false);
    setContextMenuPolicy(Qt::NoContextMenu);
}

void ParameterField::TypeCharacter(int code) {
    if (code == 8) {
        backspace();
        return;
    }
    const int caret = hasSelectedText() ? selectionStart() : cursorPosition();
    const int passed = filter_ ? filter_(text(), caret, code) : code;
    if (passed != 0) insert(QString(QChar(passed)));
}

void ParameterField::PasteFiltered() {
    if (isReadOnly()) return;
    const QString pasted = QApplication::clipboard()->text();
    for (const QChar c : pasted) {
        const int code = c.unicode();
        // Backspace and line breaks in a clipboard are not keystrokes here.
        if (code == 8 || code == '\n' || code == '\r') continue;
        TypeCharacter(code);
    }
}

void ParameterField::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Paste)) {
        PasteFiltered();
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Backspace) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    const QString typed = event->text();
    const bool printable = typed.size() == 1 && typed.at(0).unicode() >= 32 && typed.at(0).unicode() != 127;
    if (printable && !(event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier))) {
        TypeCharacter(typed.at(0).unicode());
        event->accept();
        return;
    }
    // Navigation, Delete, Tab, copy, cut, undo and select-all keep their usual
    // meaning; none of them can bring in a character that was not filtered.
    QLineEdit::keyPressEvent(event);
}

void ParameterField::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    selectAll();
    // A click that brings the focus would place the caret and drop the selection.
    keep_selection_on_press_ = event->reason() == Qt::MouseFocusReason;
}

void ParameterField::mousePressEvent(QMouseEvent* event) {
    if (keep_selection_on_press_ && event->button() == Qt::LeftButton) {
        keep_selection_on_press_ = false;
        event->accept();
        return;
    }
    keep_selection_on_press_ = false;
    QLineEdit::mousePressEvent(event);
}

void ParameterField::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    keep_selection_on_press_ = false;
    const auto reason = event->reason();
    if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) emit focusLost();
}

}  // namespace torvix
