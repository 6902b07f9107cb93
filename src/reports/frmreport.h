// The word report: one word looked for at once in the papers' titles, in the quotations and in
// the keywords, with a list of matching papers for each; a double-click opens the paper.
#pragma once

#include "app/form.h"

#include <array>

class QComboBox;
class QGroupBox;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace quirelle {

class frmReport final : public Form, public SingleInstance<frmReport>
{
    Q_OBJECT

public:
    frmReport();

    // Refills the word box with every keyword, disables the options panel and shows the window.
    void populate();

protected:
    void Form_Load() override;
    void closeRequested() override;
    bool showsProjectRows() const override { return true; }

private:
    void cmdGo_Click();
    void cmdCancel_Click();
    void list_DblClick(QListWidget* list, QListWidgetItem* item);

    QGroupBox* fraKeyword;
    std::array<QLabel*, 4> lblDetails{};
    QComboBox* cmbKeyword = nullptr;
    QPushButton* cmdGo;
    QListWidget* lstByPaperTitle;
    QListWidget* lstByQuotation;
    QListWidget* lstByKeyword;
    QPushButton* cmdCancel;
};

} // namespace quirelle
