// Long lines in lists and drop-down lists.
#include "app/listviews.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QListView>
#include <QListWidget>
#include <QScreen>
#include <QScrollBar>

#include <algorithm>
#include <vector>

namespace quirelle {

void showLongLines(QAbstractItemView* view)
{
    view->setTextElideMode(Qt::ElideNone);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    if (auto* list = qobject_cast<QListView*>(view)) {
        list->setWordWrap(false);
        list->setUniformItemSizes(true);
    }
}

QListWidget* makeList(QWidget* parent, const QString& name, const QString& tip)
{
    auto* l = new QListWidget(parent);
    l->setObjectName(name);
    l->setToolTip(tip);
    showLongLines(l);
    return l;
}

void widenDropDown(QComboBox* combo)
{
    QAbstractItemView* view = combo->view();
    const int count = combo->count();
    // Measuring every line of a list of tens of thousands takes long: the longest lines by
    // their number of characters are measured, which finds the widest in practice.
    std::vector<std::pair<qsizetype, int>> lengths;
    lengths.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        lengths.emplace_back(combo->itemText(i).size(), i);
    const size_t measured = std::min<size_t>(lengths.size(), 64);
    std::partial_sort(lengths.begin(), lengths.begin() + static_cast<qsizetype>(measured),
                      lengths.end(),
                      [](const auto& a, const auto& b) { return a.first > b.first; });
    const QFontMetrics metrics(view->font());
    int widest = 0;
    for (size_t i = 0; i < measured; ++i)
        widest = std::max(widest, metrics.horizontalAdvance(combo->itemText(lengths[i].second)));
    const int frame = 2 * view->frameWidth() + view->verticalScrollBar()->sizeHint().width() + 16;
    int width = std::max(combo->width(), widest + frame);
    if (const QScreen* screen = combo->screen())
        width = std::min(width, screen->availableGeometry().width());
    view->setMinimumWidth(width);
}

WideCombo::WideCombo(QWidget* parent) : QComboBox(parent)
{
    showLongLines(view());
}

void WideCombo::showPopup()
{
    widenDropDown(this);
    QComboBox::showPopup();
}

} // namespace quirelle
