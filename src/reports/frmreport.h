// The word report: one word looked for at once in the papers' titles, in the quotations and in
// the keywords, with a list of matching papers for each; a double-click opens the paper.
#pragma once

#include "app/form.h"

#include <array>
#include <optional>

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

    QGroupBox* fraKeyword;
    std::array<QLabel*, 4> lblDetails{};
    QComboBox* cmbKeyword = nullptr;
    QPushButton* cmdGo;
    QListWidget* lstByPaperTitle;
    QListWidget* lstByQuotation;
    QListWidget* lstByKeyword;
    QPushButton* cmdCancel;

protected:
    void Form_Load() override;
    void closeRequested() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void cmdGo_Click();
    void cmdCancel_Click();
    void list_DblClick(QListWidget* list, QListWidgetItem* item);
};

// The Paper ID a list line begins with: the text up to its first blank. Nothing when the line
// does not begin with a number.
std::optional<qint32> paperIdOfLine(const QString& line);

} // namespace quirelle
