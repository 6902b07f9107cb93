// The "Open Shared Project" window: where a project shared on a database server is, and who
// opens it; builds the server address and opens it as the project.
#pragma once

#include "app/form.h"
#include "db/serverlogin.h"

class QComboBox;
class QLineEdit;
class QPushButton;

namespace quirelle {

class frmOpenShared final : public Form, public SingleInstance<frmOpenShared>
{
    Q_OBJECT

public:
    frmOpenShared();
    // Shows the window, the boxes filled from the shared project last opened (never a password).
    void populate();

private:
    void cmdOpen_Click();

    QLineEdit* txtHost;
    QLineEdit* txtPort;
    QLineEdit* txtDatabase;
    QLineEdit* txtUser;
    QLineEdit* txtPassword;
    QComboBox* cboTls;
    QPushButton* cmdOpen;
    QPushButton* cmdCancel;
};

} // namespace quirelle
