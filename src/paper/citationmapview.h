// The citation map's drawing: a paper's box on the map, and the view that zooms with the wheel,
// pans by dragging and acts on the paper under the pointer.
#pragma once

#include "paper/data/citationgraph.h"

#include <QFont>
#include <QGraphicsItem>
#include <QGraphicsView>

#include <functional>

namespace quirelle {

// One paper on the map: a box with its first author and year, its title as the tool-tip.
class MapNode final : public QGraphicsItem
{
public:
    enum { Type = UserType + 1 };
    enum class Look { Centre, Linked, SecondLevel };

    MapNode(const citations::Node& node, const QRectF& rect, const QFont& font);

    int type() const override { return Type; }
    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

    qint32 paperId() const { return m_id; }
    QString label() const { return m_label; }
    Look look() const { return m_look; }
    // Marked: it shares an author with the centre.
    bool marked() const { return m_marked; }

private:
    qint32 m_id;
    QString m_label;
    QRectF m_rect;
    QFont m_font;
    Look m_look;
    bool m_marked;
};

// The map's view: the wheel zooms about the pointer, a drag on the background pans, a
// double-click or the context menu acts on the paper under the pointer.
class MapView final : public QGraphicsView
{
public:
    explicit MapView(QWidget* parent = nullptr);

    std::function<void(qint32)> openPaper;     // the paper window on this paper
    std::function<void(qint32)> centreOnPaper; // the map around this paper

    // The paper whose box is at `pos` (viewport coordinates), if any.
    MapNode* nodeAt(const QPoint& pos) const;
    // Zooms by `factor` (about the pointer), within the scales that stay useful.
    void zoomBy(double factor);

protected:
    void wheelEvent(QWheelEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
};

} // namespace quirelle
