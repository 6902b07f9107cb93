// The citation map: for one paper, the papers it references on one side, the papers that cite
// it on the other and, on request, one more level out, drawn as a graph that zooms with the
// wheel and pans by dragging. A double-click opens a paper in the paper window; the picture
// can be saved as PNG or SVG.
#pragma once

#include "app/form.h"
#include "db/database.h"
#include "paper/data/citationgraph.h"

#include <QGraphicsItem>
#include <QGraphicsView>

#include <functional>
#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QStringListModel;

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

class frmCitationMap final : public Form, public SingleInstance<frmCitationMap>
{
    Q_OBJECT

public:
    frmCitationMap();
    ~frmCitationMap() override;

    // Refreshes the list of papers and shows the window, centred on the paper on screen in the
    // paper window; with none there, it asks for a paper. It leaves the options panel as it is.
    void populate();
    // Draws the map around `paperId` (it tells when that paper is not stored).
    void centreOn(qint32 paperId);

    // The paper in the middle of the map, if any, and what was read around it.
    std::optional<qint32> centre() const { return m_centre; }
    const citations::Neighbourhood& neighbourhood() const { return m_graph; }

protected:
    void Form_Load() override;
    bool showsProjectRows() const override { return true; }

private:
    void fillPaperList();
    void redraw();
    void showMessage(const QString& text);
    void selectInList(qint32 paperId);

    void cmbCentre_Activated(int index);
    void cmbCentre_ReturnPressed();
    void chkSecondLevel_Toggled();
    void cmdRecentre_Click();
    void cmdSavePicture_Click();
    void openPaper(qint32 paperId);

    QComboBox* cmbCentre;
    QCheckBox* chkSecondLevel;
    QPushButton* cmdRecentre;
    MapView* viewMap;
    QLabel* lblSummary;
    QPushButton* cmdBack;
    QPushButton* cmdSavePicture;

    QStringListModel* m_lines;
    std::vector<qint32> m_lineIds; // the paper of each line of cmbCentre
    std::optional<db::TableVersion> m_linesVersion;
    std::optional<qint32> m_centre;
    citations::Neighbourhood m_graph;
};

} // namespace quirelle
