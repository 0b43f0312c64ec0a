// A single-line field for one solver parameter: every typed or pasted
// character passes the key filter, entering the field selects its whole text,
// and leaving it is reported so the window can check the value.
#pragma once

#include <QLineEdit>

namespace torvix::app {

class ParameterField : public QLineEdit {
    Q_OBJECT
public:
    ParameterField(bool allow_decimal, bool allow_negative, QWidget* parent);

    // Inserts `code` as if typed: through the filter, replacing the selection.
    void TypeCharacter(int code);
    // Inserts `pasted` as if its characters had been typed one by one.
    void PasteFiltered(const QString& pasted);

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
    bool allow_decimal_;
    bool allow_negative_;
    bool keep_selection_on_press_ = false;
};

}  // namespace torvix::app
