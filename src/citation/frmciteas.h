// The "Cite As" window: one paper (or the papers a search found) formatted in a citation style
// chosen from every style found, as bibliography entries or an in-text citation, with a preview,
// a copy that keeps the formatting for a word processor, and a bibliography saved as a file.
#pragma once

#include "app/form.h"
#include "citation/data/citationservice.h"

#include <QJsonArray>

#include <array>

class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QRadioButton;
class QTextBrowser;

namespace quirelle {

class frmCiteAs final : public Form, public SingleInstance<frmCiteAs>
{
    Q_OBJECT

public:
    frmCiteAs();
    // Formats `papers` (in that order) and shows the window; `bibliography` chooses the
    // bibliography entries rather than keeping the mode last used.
    void populate(const QList<qint32>& papers, bool bibliography);
    // Has the reference service load the processor and the style last chosen, so that the
    // window's first preview needs no wait for them.
    static void warmUp();

protected:
    void Form_Load() override;
    bool showsProjectRows() const override { return true; }

private:
    void fillStyles();
    void txtFilter_Change();
    void refresh();
    void showResult(quint64 ticket, const citation::Formatted& result);
    void cmdCopy_Click();
    void cmdSave_Click();
    QString chosenStyle() const;

    QLabel* lblFilter;
    QLineEdit* txtFilter;
    QListWidget* lstStyles;
    std::array<QRadioButton*, 2> optMode{};
    QTextBrowser* txtPreview;
    QLabel* lblNotice;
    QPushButton* cmdCopy;
    QPushButton* cmdSave;
    QPushButton* cmdClose;

    QJsonArray m_items;
    quint64 m_ticket = 0;     // the request the preview waits for
    quint64 m_saveTicket = 0; // the request a file waits for
    QString m_savePath;
    citation::Formatted m_shown; // what the preview shows, and Copy copies
    bool m_current = false;      // the preview shows the chosen style and mode
    QStringList m_noticesShown;
};

} // namespace quirelle
