// The paper window's link groups: a combo box that lists a whole table (every author, every
// paper), an "Add" button and the list of the paper's links. Four of them: authors, keywords,
// models and referenced works.
#pragma once

#include "app/form.h"

#include <QComboBox>

#include <functional>

class QCompleter;
class QListWidget;
class QPushButton;
class QStringListModel;

namespace quirelle {

// A combo box over a long list. Its lines are read when the user first opens the list, types
// into the box or moves along it with the keys or the wheel, not before: a paper shows at once,
// however large the catalogue. What the user
// types stays as typed; a pop-up offers the lines that contain it (letter case aside) to pick
// from.
class LinkCombo final : public QComboBox
{
    Q_OBJECT

public:
    // Gives the lines; `changed` says whether they differ from those given last time.
    using Source = std::function<const QStringList&(bool* changed)>;

    LinkCombo(QWidget* parent, const QString& name, Source source);

    // No line chosen and no text; the lines stay as they were read.
    void reset();
    // A locked box keeps its line: no list to open, no typing.
    void setLocked(bool locked);
    bool isLocked() const { return m_locked; }

    void showPopup() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Reads the lines when they changed; false (after the message) when they cannot be read.
    bool fill();
    void offerMatches(const QString& typed);

    Source m_source;
    QStringListModel* m_lines;
    QCompleter* m_matches;
    bool m_locked = false;
};

struct LinkGroupDesign
{
    QString combo, add, list; // the controls' names
    QString addTip, listTip;
    Twips comboAt, addAt, listAt;
};

struct LinkGroup
{
    LinkGroup(QWidget* parent, const LinkGroupDesign& design, LinkCombo::Source source);
    LinkCombo* combo;
    QPushButton* add;
    QListWidget* list;
};

} // namespace quirelle
