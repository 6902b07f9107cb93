// What the benchmarks on a database server share: a database of their own on the server, made
// afresh for a run and dropped after it.
#pragma once

#include "db/database.h"
#include "db/nativesql.h"
#include "db/schema.h"

#include <QString>
#include <QUrl>

namespace quirelle::bench {

// The address of another database on the same server, as the same user.
inline QString withDatabase(const QString& address, const QString& database)
{
    QUrl url(address);
    url.setPath(QLatin1Char('/') + database);
    return url.toString();
}

inline void asAdmin(const QString& admin, const QString& sql)
{
    auto server = db::Database::OpenDatabase(admin);
    db::NativeStatement::exec(*server, sql);
}

// Drops `database` on the server of `admin` (a superuser's address), when there is one.
inline void dropBenchDatabase(const QString& admin, const QString& database)
{
    asAdmin(admin, QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(database));
}

// Makes `database` afresh on the server with an empty project in it, and gives its address.
inline QString freshServerProject(const QString& admin, const QString& database)
{
    dropBenchDatabase(admin, database);
    asAdmin(admin, QStringLiteral("CREATE DATABASE %1").arg(database));
    const QString address = withDatabase(admin, database);
    db::createServerProject(address);
    return address;
}

} // namespace quirelle::bench
