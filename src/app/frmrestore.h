// The restore window: the open project's backup copies, newest first, with their date, time,
// size and paper count; one is put in the project's place only when the user asks and confirms.
#pragma once

#include "app/form.h"

class QPushButton;
class QTreeWidget;

namespace quirelle {

class frmRestore final : public Form, public SingleInstance<frmRestore>
{
    Q_OBJECT

public:
    frmRestore();
    // Lists the copies and shows the window.
    void populate();

protected:
    void Form_Load() override;
    bool showsProjectRows() const override { return true; }

private:
    void cmdRestore_Click();

    QTreeWidget* lstBackups;
    QPushButton* cmdRestore;
    QPushButton* cmdBack;
};

} // namespace quirelle
