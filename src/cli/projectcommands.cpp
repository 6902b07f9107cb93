// The whole-project commands of quirelle-cli, on the same copy routine as the program's backups
// of a shared project.
#include "cli/projectcommands.h"

#include "cli/cli.h"
#include "db/database.h"
#include "db/dberror.h"
#include "db/projectcopy.h"
#include "db/schema.h"

namespace quirelle::cli {

namespace {

bool takesNoOption(const Arguments& a)
{
    return !a.format && !a.output && !a.style && !a.ids && !a.locale && !a.all && !a.citation &&
           !a.copy && !a.missing;
}

QString shown(const QString& location)
{
    return db::isServerAddress(location) ? db::displayAddress(location) : location;
}

} // namespace

int runCopy(const Arguments& a)
{
    if (a.positional.size() != 2)
        return usageError(QStringLiteral("copy needs a source and a destination"));
    if (!takesNoOption(a))
        return usageError(QStringLiteral("copy takes no option"));
    const QString source = db::projectLocation(a.positional[0]);
    const QString destination = db::projectLocation(a.positional[1]);
    const db::CopyResult result =
        db::copyProject(source, destination, db::CopyMode::IntoEmpty, [](const QString& table) {
            print(stderr, QStringLiteral("Copying %1\n").arg(table));
        });
    if (!result.ok)
        return failure(result.reason + QStringLiteral("\nThe destination was left as it was."));
    QString text;
    qint64 rows = 0;
    for (const db::TableSummary& t : result.tables) {
        text += QStringLiteral("%1\t%2\t%3\n")
                    .arg(t.table)
                    .arg(t.rows)
                    .arg(QString::fromLatin1(t.checksum));
        rows += t.rows;
    }
    text += QStringLiteral("Copied %1 rows of %2 tables from %3 to %4; every table's row count "
                           "and checksum match.\n")
                .arg(rows)
                .arg(result.tables.size())
                .arg(shown(source), shown(destination));
    print(stdout, text);
    return Done;
}

int runInitServer(const Arguments& a)
{
    if (a.positional.size() != 1)
        return usageError(QStringLiteral("init-server needs exactly one server address"));
    if (!takesNoOption(a))
        return usageError(QStringLiteral("init-server takes no option"));
    const QString& address = a.positional[0];
    if (!db::isServerAddress(address))
        return usageError(
            QStringLiteral("%1 is not a server address (postgresql://...)").arg(address));
    try {
        db::createServerProject(address);
    } catch (const db::DbError& e) {
        return failure(e.description());
    }
    print(stdout, QStringLiteral("Created the project's tables in %1.\n").arg(shown(address)));
    return Done;
}

} // namespace quirelle::cli
