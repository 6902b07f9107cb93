// The text boxes of the windows are one-line boxes (QLineEdit) or boxes of several lines
// (QPlainTextEdit); these read, fill and lock either kind.
#pragma once

#include <QString>

class QWidget;

namespace quirelle {

QString boxText(const QWidget* box);
// Fills the box and shows the start of the text (a long value is read from its beginning).
void setBoxText(QWidget* box, const QString& text);
void setBoxReadOnly(QWidget* box, bool readOnly);

} // namespace quirelle
