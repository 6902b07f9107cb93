// Reading and filling text boxes of either kind.
#include "app/textboxes.h"

#include <QLineEdit>
#include <QPlainTextEdit>

namespace quirelle {

QString boxText(const QWidget* box)
{
    if (const auto* line = qobject_cast<const QLineEdit*>(box))
        return line->text();
    return static_cast<const QPlainTextEdit*>(box)->toPlainText();
}

void setBoxText(QWidget* box, const QString& text)
{
    if (auto* line = qobject_cast<QLineEdit*>(box)) {
        line->setText(text);
        line->setCursorPosition(0);
        return;
    }
    auto* lines = static_cast<QPlainTextEdit*>(box);
    lines->setPlainText(text);
    lines->moveCursor(QTextCursor::Start);
}

void setBoxReadOnly(QWidget* box, bool readOnly)
{
    if (auto* line = qobject_cast<QLineEdit*>(box))
        line->setReadOnly(readOnly);
    else
        static_cast<QPlainTextEdit*>(box)->setReadOnly(readOnly);
}

} // namespace quirelle
