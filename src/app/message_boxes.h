// Modal message boxes behind an interface, so tests answer them in place of
// a person.
#pragma once

#include <QString>

class QWidget;

namespace torvix::app {

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // A warning (exclamation) box with an OK button.
    virtual void Warning(QWidget* owner, const QString& title, const QString& text) = 0;
};

class QtMessageBoxes : public MessageBoxes {
public:
    void Warning(QWidget* owner, const QString& title, const QString& text) override;
};

}  // namespace torvix::app
