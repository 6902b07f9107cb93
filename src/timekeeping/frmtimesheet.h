// The time sheet: the hours logged, totalled by subject.
#pragma once

#include "app/form.h"

class QListWidget;
class QPushButton;

namespace quirelle {

class frmTimeSheet final : public Form, public SingleInstance<frmTimeSheet>
{
    Q_OBJECT

public:
    frmTimeSheet();
    void populate();

protected:
    void Form_Load() override;
    bool showsProjectRows() const override { return true; }

private:
    QListWidget* lstTimesheet;
    QPushButton* cmdBack;
};

} // namespace quirelle
