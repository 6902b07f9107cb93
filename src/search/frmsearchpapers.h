// The search window: a mode, a criterion typed or picked from the mode's list, and the papers
// found, one line each; a click on a line opens that paper.
#pragma once

#include "app/form.h"

#include <array>

class QComboBox;
class QGroupBox;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QRadioButton;
class QStringListModel;

namespace quirelle {

class frmSearchPapers final : public Form, public SingleInstance<frmSearchPapers>
{
    Q_OBJECT

public:
    frmSearchPapers();

    // Disables the options panel and shows the window; mode, criterion and results stay.
    void populate();
    // Whether the result list holds any line ("Back" of the paper window asks).
    bool hasResults() const;

protected:
    void Form_Load() override;
    void closeRequested() override;
    bool showsProjectRows() const override { return true; }
    void changedElsewhere() override;

private:
    void optSearch_Click(int index);
    void cmdFind_Click();
    void lstOptions_Click(QListWidgetItem* item);
    // The words found on the chosen line's page, for a line of a full-text search.
    void showSnippet(QListWidgetItem* item);
    void findFullText(const QString& typed);
    void cmdCancel_Click();
    void exportResults();
    void citeResults();
    QList<qint32> listedPapers(bool selectedOnly) const;

    // The index of the chosen mode, or -1 when none is chosen.
    int chosenMode() const;
    // Chooses mode `mode` alone (none for -1).
    void showChosenMode(int mode);
    void setCriteriaItems(const QStringList& items);
    void endStep();

    QGroupBox* fraSearchBy;
    QComboBox* cmbSearchCriteria;
    QPushButton* cmdFind;
    std::array<QRadioButton*, 7> optSearch{};
    QPushButton* cmdCancel;
    QListWidget* lstOptions;
    QLabel* lblSnippet;
    QStringListModel* m_criteria;
    int m_listedMode = -1;   // the mode whose criteria the list holds; -1 for none
    QString m_fullTextFound; // the criterion of the full-text lines listed
};

} // namespace quirelle
