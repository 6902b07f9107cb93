// How lists and drop-down lists show long lines, the same way in every window: in full, with a
// horizontal scroll bar when they are wider than the list, never cut short with an ellipsis; a
// drop-down list opens as wide as its longest line, up to the screen's width.
#pragma once

#include <QComboBox>

class QAbstractItemView;
class QListWidget;
class QString;
class QWidget;

namespace quirelle {

void showLongLines(QAbstractItemView* view);
// A list box named `name`, with its tool-tip, showing long lines in full.
QListWidget* makeList(QWidget* parent, const QString& name, const QString& tip);
// Makes the drop-down list of `combo` as wide as its longest line (up to the screen's width);
// call before it opens.
void widenDropDown(QComboBox* combo);

// A combo box whose drop-down list opens as wide as its longest line and shows long lines whole.
class WideCombo : public QComboBox
{
public:
    explicit WideCombo(QWidget* parent = nullptr);
    void showPopup() override;
};

} // namespace quirelle
