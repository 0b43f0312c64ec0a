// A single-line field for one solver parameter: every typed or pasted
// character passes the key filter, entering the field selects its whole text,
// and leaving it is reported so the window can check the value.
#pragma once

#include <QLineEdit>
#include <functional>

namespace torvix {

class ParameterField : public QLineEdit {
    Q_OBJECT
public:
    // Gets the field's text, the caret (selection start) and a character
    // code; returns the code to insert, or 0 to discard the character.
    using KeyFilter = std::function<int(const QString& text, int caret, int code)>;

    ParameterField(KeyFilter filter, QWidget* parent);

    // Inserts `code` as if typed: through the filter, replacing the selection.
    void TypeCharacter(int code);

signals:
    // Focus moved to another control of the window (not the window losing
    // activation to a dialog or another program).
    void focusLost();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void PasteFiltered();

    KeyFilter filter_;
    bool keep_selection_on_press_ = false;
};

}  // namespace torvix
