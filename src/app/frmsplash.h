// The about window, which closes itself three seconds after it loads.
#pragma once

#include "app/form.h"

class QLabel;
class QTextEdit;
class QTimer;
class QGroupBox;

namespace quirelle {

class frmSplash final : public Form, public SingleInstance<frmSplash>
{
    Q_OBJECT

public:
    frmSplash();
    void populate();

protected:
    void Form_Load() override;

private:
    QLabel* Label1;
    QLabel* Label2;
    QGroupBox* Frame1;
    QTextEdit* Text3;
    QTextEdit* Text2;
    QTextEdit* Text1;
    QTimer* Timer1;
};

} // namespace quirelle
