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
#include <QUrl>
#include <QUrlQuery>

namespace quirelle {

namespace {

QString encoded(const QString& part)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(part));
}

bool isSocketFolder(const QString& host)
{
    return host.startsWith(QLatin1Char('/'));
}

// The boxes of the window, filled from an address: the one last opened.
ServerLogin loginOf(const QString& address)
{
    const QUrl url(address);
    const QUrlQuery query(url);
    ServerLogin login;
    login.host = query.hasQueryItem(QStringLiteral("host"))
                     ? query.queryItemValue(QStringLiteral("host"), QUrl::FullyDecoded)
                     : url.host();
    login.port =
        url.port() > 0 ? QString::number(url.port()) : query.queryItemValue(QStringLiteral("port"));
    login.database = url.path(QUrl::FullyDecoded).mid(1);
    login.user = url.userName(QUrl::FullyDecoded);
    login.tls = query.queryItemValue(QStringLiteral("sslmode"));
    return login;
}

} // namespace

const QStringList& tlsModes()
{
    static const QStringList modes{QStringLiteral("prefer"),    QStringLiteral("disable"),
                                   QStringLiteral("allow"),     QStringLiteral("require"),
                                   QStringLiteral("verify-ca"), QStringLiteral("verify-full")};
    return modes;
}

QString serverAddress(const ServerLogin& login)
{
    QString address = QStringLiteral("postgresql://");
    if (!login.user.isEmpty()) {
        address += encoded(login.user);
        if (!login.password.isEmpty())
            address += QLatin1Char(':') + encoded(login.password);
        address += QLatin1Char('@');
    }
    QStringList query;
    const QString host = login.host.trimmed();
    const QString port = login.port.trimmed();
    if (isSocketFolder(host)) {
        query << QStringLiteral("host=") + encoded(host);
        if (!port.isEmpty())
            query << QStringLiteral("port=") + encoded(port);
    } else {
        // An IPv6 address goes between brackets, so that its colons are not taken for a port.
        address += host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']')
                                                   : encoded(host);
        if (!port.isEmpty())
            address += QLatin1Char(':') + port;
    }
    address += QLatin1Char('/') + encoded(login.database.trimmed());
    if (!login.tls.isEmpty() && login.tls != tlsModes().front())
        query << QStringLiteral("sslmode=") + login.tls;
    if (!query.isEmpty())
        address += QLatin1Char('?') + query.join(QLatin1Char('&'));
    return address;
}

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
    cboTls->addItems(tlsModes());
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
        const ServerLogin login = loginOf(last);
        txtHost->setText(login.host);
        txtPort->setText(login.port);
        txtDatabase->setText(login.database);
        txtUser->setText(login.user);
        cboTls->setCurrentIndex(std::max<qsizetype>(0, tlsModes().indexOf(login.tls)));
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
        serverAddress({txtHost->text(), port, txtDatabase->text(), txtUser->text(),
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
