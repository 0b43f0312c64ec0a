#include "app/parameter_field.h"

#include <QApplication>
#include <QClipboard>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>

#include "app/filter_key.h"

namespace torvix::app {

ParameterField::ParameterField(bool allow_decimal, bool allow_negative, QWidget* parent)
    : QLineEdit(parent), allow_decimal_(allow_decimal), allow_negative_(allow_negative) {
    // Drops and the context menu's paste would bypass the filter.
    setAcceptDrops(false);
    setDragEnabled(false);
    setContextMenuPolicy(Qt::NoContextMenu);
}

void ParameterField::TypeCharacter(int code) {
    if (code == kKeyBackspace) {
        backspace();
        return;
    }
    const int caret = hasSelectedText() ? selectionStart() : cursorPosition();
    const int passed = FilterKey(text().toStdString(), static_cast<std::size_t>(caret), code, allow_decimal_,
                                 allow_negative_);
    if (passed != 0) insert(QString(QChar(passed)));
}

void ParameterField::PasteFiltered(const QString& pasted) {
    if (isReadOnly()) return;
    const bool selected = hasSelectedText();
    const int start = selected ? selectionStart() : cursorPosition();
    const int length = selected ? static_cast<int>(selectedText().size()) : 0;
    // The filter works on bytes; fields only ever hold plain ASCII.
    const FieldEdit edit = FilterPaste(text().toLatin1().toStdString(), static_cast<std::size_t>(start),
                                       static_cast<std::size_t>(length), pasted.toLatin1().toStdString(),
                                       allow_decimal_, allow_negative_);
    const QString result = QString::fromLatin1(edit.text);
    if (result == text()) return;
    // Replace through the selection so the paste is one undo step.
    selectAll();
    insert(result);
    setCursorPosition(static_cast<int>(edit.selection_start));
}

void ParameterField::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Paste)) {
        PasteFiltered(QApplication::clipboard()->text());
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

}  // namespace torvix::app
