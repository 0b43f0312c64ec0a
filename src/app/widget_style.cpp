#include "app/widget_style.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>

namespace torvix::app {

namespace {

constexpr int kSmallestPixelSize = 7;

}  // namespace

QColor VerdictColour(ride::VerdictLevel level) {
    switch (level) {
    case ride::VerdictLevel::kComfortable: return QColor(110, 200, 120);
    case ride::VerdictLevel::kTolerable: return QColor(226, 184, 84);
    case ride::VerdictLevel::kHarsh: break;
    }
    return QColor(236, 112, 96);
}

void SetColours(QWidget* w, const QColor& background, const QColor& text) {
    QPalette p = w->palette();
    for (auto role : {QPalette::Base, QPalette::Window}) p.setColor(role, background);
    for (auto role : {QPalette::Text, QPalette::WindowText}) p.setColor(role, text);
    w->setPalette(p);
}

void SetTextOnlyColour(QWidget* w, const QColor& text) {
    QPalette p = w->palette();
    for (auto role : {QPalette::Text, QPalette::WindowText}) p.setColor(role, text);
    w->setPalette(p);
}

QFont FontToFit(const QFont& base, const QString& text, int width) {
    QFont font = base;
    if (QFontMetrics(font).horizontalAdvance(text) <= width) return font;
    for (int size = QFontInfo(base).pixelSize() - 1; size >= kSmallestPixelSize; --size) {
        font.setPixelSize(size);
        if (QFontMetrics(font).horizontalAdvance(text) <= width) break;
    }
    return font;
}

// A frameless line edit keeps a small margin on each side and one pixel for the caret.
int LineEditTextWidth(const QLineEdit* field) { return field->contentsRect().width() - 6; }

void FitMessageLine(QLabel* line, const QFont& base) {
    const QString text = line->text();
    const QRect box = line->contentsRect();
    QFont font = base;
    const bool wrap = QFontMetrics(font).horizontalAdvance(text) > box.width();
    if (wrap) {
        for (int size = QFontInfo(base).pixelSize(); size >= kSmallestPixelSize; --size) {
            font.setPixelSize(size);
            const QRect needed = QFontMetrics(font).boundingRect(box, Qt::AlignCenter | Qt::TextWordWrap, text);
            if (needed.width() <= box.width() && needed.height() <= box.height()) break;
        }
    }
    line->setWordWrap(wrap);
    line->setFont(font);
}

}  // namespace torvix::app
