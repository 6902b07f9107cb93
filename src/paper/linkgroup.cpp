// Link groups and their combo boxes.
#include "paper/linkgroup.h"

#include "app/listviews.h"
#include "app/services.h"

#include <QCompleter>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <QStringListModel>

namespace quirelle {

namespace {

// The keys that move to another line of the list.
bool movesLine(const QKeyEvent* key)
{
    switch (key->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        return true;
    default:
        return false;
    }
}

} // namespace

LinkCombo::LinkCombo(QWidget* parent, const QString& name, Source source)
    : QComboBox(parent), m_source(std::move(source)), m_lines(new QStringListModel(this))
{
    setObjectName(name);
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    // The size is not measured line by line: the list may hold every paper.
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMaxVisibleItems(20);
    setModel(m_lines);
    showLongLines(view());

    // Matches are offered in a pop-up; nothing completes the text inline.
    m_matches = new QCompleter(m_lines, this);
    m_matches->setCompletionMode(QCompleter::PopupCompletion);
    m_matches->setFilterMode(Qt::MatchContains);
    m_matches->setCaseSensitivity(Qt::CaseInsensitive);
    m_matches->setMaxVisibleItems(20);
    setCompleter(m_matches);
    showLongLines(m_matches->popup());
    QObject::connect(lineEdit(), &QLineEdit::textEdited, this,
                     [this](const QString& typed) { offerMatches(typed); });
    installEventFilter(this);
}

bool LinkCombo::fill()
{
    // Reading starts from the user's key, click or wheel, outside any button's handler: a file
    // another program holds is said here, and the box stays as it was.
    bool read = false;
    services::guarded([&] {
        bool changed = false;
        const QStringList& lines = m_source(&changed);
        read = true;
        if (!changed && m_lines->rowCount() == lines.size())
            return;
        // Refilling the model would choose its first line; what was typed stays, on its own
        // line when it is one.
        const QString typed = currentText();
        m_lines->setStringList(lines);
        setCurrentIndex(static_cast<int>(lines.indexOf(typed)));
        setEditText(typed);
    });
    return read;
}

void LinkCombo::offerMatches(const QString& typed)
{
    if (m_locked || !fill())
        return;
    m_matches->setCompletionPrefix(typed);
    if (!typed.isEmpty())
        m_matches->complete();
}

void LinkCombo::reset()
{
    setCurrentIndex(-1);
    setEditText(QString());
}

void LinkCombo::setLocked(bool locked)
{
    m_locked = locked;
    lineEdit()->setReadOnly(locked);
}

void LinkCombo::showPopup()
{
    if (m_locked || !fill())
        return;
    widenDropDown(this);
    QComboBox::showPopup();
}

bool LinkCombo::eventFilter(QObject* watched, QEvent* event)
{
    // The keys and the wheel that move along the list find its lines read, as the pop-up does;
    // when they cannot be read, they move nothing.
    if (watched == this && !m_locked) {
        const bool moves =
            event->type() == QEvent::Wheel ||
            (event->type() == QEvent::KeyPress && movesLine(static_cast<QKeyEvent*>(event)));
        if (moves && !fill())
            return true;
    }
    // A locked box keeps its line: no list to open, no wheel or keys to change it.
    if (watched == this && m_locked) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
            return true;
        case QEvent::KeyPress: {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key != Qt::Key_Tab && key != Qt::Key_Backtab)
                return true;
            break;
        }
        default:
            break;
        }
    }
    return QComboBox::eventFilter(watched, event);
}

LinkGroup::LinkGroup(QWidget* parent, const LinkGroupDesign& d, LinkCombo::Source source)
    : combo(new LinkCombo(parent, d.combo, std::move(source)))
    , add(new QPushButton(QStringLiteral("Add"), parent))
    , list(makeList(parent, d.list, d.listTip))
{
    add->setObjectName(d.add);
    add->setToolTip(d.addTip);
    place(combo, d.comboAt);
    place(add, d.addAt);
    place(list, d.listAt);
}

} // namespace quirelle
