// The citation map's drawing: a paper's box on the map, and the view that zooms, pans and acts
// on the paper under the pointer.
#include "paper/citationmapview.h"

#include "app/services.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QPainter>
#include <QStyleOptionGraphicsItem>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace quirelle {

namespace {

constexpr double MinimumScale = 0.05;
constexpr double MaximumScale = 8;

constexpr QRgb centreFill = 0xffffec8c;
constexpr QRgb linkedFill = 0xffdcebfa;
constexpr QRgb secondFill = 0xffeeeeee;
constexpr QRgb sameAuthorFill = 0xffffcd96;

} // namespace

// ---- A paper on the map ----

MapNode::MapNode(const citations::Node& node, const QRectF& rect, const QFont& font)
    : m_id(node.id)
    , m_label(citations::nodeLabel(node))
    , m_rect(rect)
    , m_font(font)
    , m_look(node.level == 0   ? Look::Centre
             : node.level == 1 ? Look::Linked
                               : Look::SecondLevel)
    , m_marked(node.sharesAuthor)
{
    QString tip = node.title;
    if (m_marked)
        tip += QStringLiteral("\n(shares an author with the paper in the centre)");
    setToolTip(tip);
    setFlag(ItemIsSelectable);
    setZValue(1);
}

QRectF MapNode::boundingRect() const
{
    return m_rect.adjusted(-1.5, -1.5, 1.5, 1.5);
}

void MapNode::paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget*)
{
    QRgb fill = m_look == Look::Centre   ? centreFill
                : m_look == Look::Linked ? linkedFill
                                         : secondFill;
    if (m_marked)
        fill = sameAuthorFill;
    const bool selected = option->state & QStyle::State_Selected;
    painter->setPen(QPen(selected ? QColor(0, 90, 200) : QColor(70, 70, 70), selected ? 2.5 : 1));
    painter->setBrush(QColor(fill));
    painter->drawRoundedRect(m_rect, 4, 4);
    // Too small to read: the box alone tells where the paper is, and draws much faster.
    if (option->levelOfDetailFromTransform(painter->worldTransform()) < 0.25)
        return;
    painter->setPen(Qt::black);
    painter->setFont(m_font);
    painter->drawText(m_rect, Qt::AlignCenter, m_label);
}

// ---- The view ----

MapView::MapView(QWidget* parent) : QGraphicsView(parent)
{
    setDragMode(QGraphicsView::ScrollHandDrag);
    setTransformationAnchor(QGraphicsView::AnchorUnderMouse);
    setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    setViewportUpdateMode(QGraphicsView::SmartViewportUpdate);
}

MapNode* MapView::nodeAt(const QPoint& pos) const
{
    for (QGraphicsItem* item : items(pos)) {
        if (item->type() == MapNode::Type)
            return static_cast<MapNode*>(item);
    }
    return nullptr;
}

void MapView::zoomBy(double factor)
{
    const double now = transform().m11();
    const double wanted = std::clamp(now * factor, MinimumScale, MaximumScale);
    scale(wanted / now, wanted / now);
}

void MapView::wheelEvent(QWheelEvent* event)
{
    // One notch of an ordinary wheel (120) zooms by about a fifth.
    zoomBy(std::pow(1.0015, event->angleDelta().y()));
    event->accept();
}

void MapView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (MapNode* node = nodeAt(event->position().toPoint())) {
        const qint32 id = node->paperId();
        event->accept();
        if (openPaper)
            services::guarded([&] { openPaper(id); });
        return;
    }
    QGraphicsView::mouseDoubleClickEvent(event);
}

void MapView::contextMenuEvent(QContextMenuEvent* event)
{
    MapNode* node = nodeAt(event->pos());
    if (!node) {
        event->ignore();
        return;
    }
    const qint32 id = node->paperId();
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("mnuMapNode"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QAction* open = menu->addAction(QStringLiteral("&Open Paper"));
    open->setObjectName(QStringLiteral("mnuOpenPaper"));
    QAction* centre = menu->addAction(QStringLiteral("&Centre Map Here"));
    centre->setObjectName(QStringLiteral("mnuCentreHere"));
    QObject::connect(open, &QAction::triggered, this, [this, id] {
        if (openPaper)
            services::guarded([&] { openPaper(id); });
    });
    QObject::connect(centre, &QAction::triggered, this, [this, id] {
        if (centreOnPaper)
            services::guarded([&] { centreOnPaper(id); });
    });
    menu->popup(event->globalPos());
    event->accept();
}

} // namespace quirelle
