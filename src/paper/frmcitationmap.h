// The citation map: for one paper, the papers it references on one side, the papers that cite
// it on the other and, on request, one more level out, drawn as a graph that zooms with the
// wheel and pans by dragging. A double-click opens a paper in the paper window; the picture
// can be saved as PNG or SVG.
#pragma once

#include "app/form.h"
#include "db/database.h"
#include "paper/citationmapview.h"
#include "paper/data/citationgraph.h"

#include <functional>
#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QStringListModel;

namespace quirelle {

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
