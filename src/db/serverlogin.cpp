// Server addresses built from their parts and read back.
#include "db/serverlogin.h"

#include <QUrl>
#include <QUrlQuery>

namespace quirelle::db {

namespace {

QString encoded(const QString& part)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(part));
}

bool isSocketFolder(const QString& host)
{
    return host.startsWith(QLatin1Char('/'));
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

ServerLogin serverLogin(const QString& address)
{
    const QUrl url(address);
    const QUrlQuery query(url);
    ServerLogin login;
    login.host = query.hasQueryItem(QStringLiteral("host"))
                     ? query.queryItemValue(QStringLiteral("host"), QUrl::FullyDecoded)
                     : url.host(QUrl::FullyDecoded);
    login.port =
        url.port() > 0 ? QString::number(url.port()) : query.queryItemValue(QStringLiteral("port"));
    login.database = url.path(QUrl::FullyDecoded).mid(1);
    login.user = url.userName(QUrl::FullyDecoded);
    login.tls = query.queryItemValue(QStringLiteral("sslmode"));
    return login;
}

QString sharedProjectName(const QString& address)
{
    const ServerLogin login = serverLogin(address);
    QString name = QStringLiteral("postgresql://");
    if (!login.user.isEmpty())
        name += login.user + QLatin1Char('@');
    name += login.host.isEmpty() ? QStringLiteral("localhost") : login.host;
    if (!login.port.isEmpty())
        name += QLatin1Char(':') + login.port;
    return name + QLatin1Char('/') + login.database;
}

} // namespace quirelle::db
