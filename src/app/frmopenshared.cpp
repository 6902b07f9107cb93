// The "Open Shared Project" window.
#include "app/frmopenshared.h"

#include "app/frmmain.h"
#include "app/frmmenu.h"
#include "app/services.h"
#include "app/windows.h"
#include "db/database.h"
#include "db/project.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace quirelle {

frmOpenShared::frmOpenShared() : Form(QStringLiteral("frmOpenShared"), 5160, 3480)
{
    setCaption(QStringLiteral("Open Shared Project"));
    const auto box = [this](const char* name, const char* label, int top) {
        auto* caption = new QLabel(QString::fromUtf8(label), this);
        place(caption, 120, top + 45, 1455, 255);
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QString::fromUtf8(name));
        caption->setBuddy(edit);
        place(edit, 1680, top, 3360, 315);
        return edit;
    };
    txtHost = box("txtHost", "&Host:", 120);
    txtHost->setToolTip(QStringLiteral("The server's name or address, or the folder of its local "
                                       "socket; empty: this computer"));
    txtPort = box("txtPort", "&Port:", 540);
    txtPort->setToolTip(QStringLiteral("Empty: the server's usual port"));
    txtDatabase = box("txtDatabase", "&Database:", 960);
    txtUser = box("txtUser", "&User:", 1380);
    txtPassword = box("txtPassword", "Pass&word:", 1800);
    txtPassword->setEchoMode(QLineEdit::Password);
    txtPassword->setToolTip(QStringLiteral("Empty: none, or the one your .pgpass file or "
                                           "PGPASSWORD gives"));
    auto* tlsCaption = new QLabel(QStringLiteral("&TLS:"), this);
    place(tlsCaption, 120, 2265, 1455, 255);
    cboTls = new QComboBox(this);
    cboTls->setObjectName(QStringLiteral("cboTls"));
    cboTls->addItems(db::tlsModes());
    tlsCaption->setBuddy(cboTls);
    place(cboTls, 1680, 2220, 3360, 315);
    cmdOpen = new QPushButton(QStringLiteral("Open"), this);
    cmdOpen->setObjectName(QStringLiteral("cmdOpen"));
    cmdOpen->setDefault(true);
    place(cmdOpen, 3825, 2880, 1215, 375);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    place(cmdCancel, 2490, 2880, 1215, 375);
    QObject::connect(cmdOpen, &QPushButton::clicked, this,
                     [this] { services::guarded([this] { cmdOpen_Click(); }); });
    QObject::connect(cmdCancel, &QPushButton::clicked, this, [this] {
        services::guarded([this] {
            txtPassword->clear();
            hideForm();
        });
    });
    for (QLineEdit* edit : {txtHost, txtPort, txtDatabase, txtUser, txtPassword}) {
        QObject::connect(edit, &QLineEdit::returnPressed, this,
                         [this] { services::guarded([this] { cmdOpen_Click(); }); });
    }
}

void frmOpenShared::populate()
{
    const QString last = frmMain::getLastOpenedFile();
    if (db::isServerAddress(last)) {
        const db::ServerLogin login = db::serverLogin(last);
        txtHost->setText(login.host);
        txtPort->setText(login.port);
        txtDatabase->setText(login.database);
        txtUser->setText(login.user);
        cboTls->setCurrentIndex(std::max<qsizetype>(0, db::tlsModes().indexOf(login.tls)));
    }
    txtPassword->clear();
    placeByPositionForm();
    showForm();
    (txtDatabase->text().isEmpty() ? txtHost : txtPassword)->setFocus();
}

void frmOpenShared::cmdOpen_Click()
{
    if (txtDatabase->text().trimmed().isEmpty()) {
        services::MsgBox(QStringLiteral("Give the name of the project's database."));
        txtDatabase->setFocus();
        return;
    }
    const QString port = txtPort->text().trimmed();
    bool isNumber = port.isEmpty();
    if (!port.isEmpty()) {
        const int value = port.toInt(&isNumber);
        isNumber = isNumber && value > 0 && value < 65536;
    }
    if (!isNumber) {
        services::MsgBox(QStringLiteral("The port is a number from 1 to 65535, or empty for the "
                                        "server's usual port."));
        txtPort->setFocus();
        return;
    }
    const QString address =
        db::serverAddress({txtHost->text(), port, txtDatabase->text(), txtUser->text(),
                           txtPassword->text(), cboTls->currentText()});
    hideForm();
    const bool opened = frmMenu::instance().connectTo(address);
    windows::unloadSearch(); // the next search starts afresh, whether or not it connected
    if (!opened) {
        showForm(); // to mend what was typed
        return;
    }
    txtPassword->clear();
    // Recorded as the engine shows the address: never with the password.
    frmMain::setLastOpenedFile(project().projectFilePath());
}

void windows::openSharedProject()
{
    frmOpenShared::instance().populate();
}

} // namespace quirelle
