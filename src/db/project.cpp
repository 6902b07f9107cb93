// Opening and closing the project.
#include "db/project.h"

#include "db/dberror.h"
#include "db/schema.h"
#include "db/sharedqueries.h"
#include "fulltext/data/fulltextindex.h"

namespace quirelle {

Project& project()
{
    static Project p;
    return p;
}

db::Database& Project::db()
{
    if (!dbProject || !dbProject->isOpen())
        throw db::DbError(db::err::DatabaseClosed, QStringLiteral("No project database is open."));
    return *dbProject;
}

bool Project::isOpen() const
{
    return dbProject && dbProject->isOpen();
}

void Project::close()
{
    if (dbProject)
        dbProject->Close();
    dbProject.reset();
    m_lock.reset();
    m_projectFilePath.clear();
    m_server = false;
    ++m_generation;
}

namespace {

QString describe(const std::exception& e)
{
    if (const auto* dbError = dynamic_cast<const db::DbError*>(&e))
        return dbError->description();
    return QString::fromUtf8(e.what());
}

} // namespace

bool Project::open(const QString& pathWithoutExtension, QString* reason, bool readOnly)
{
    const auto fail = [reason](const QString& why) {
        if (reason)
            *reason = why;
        return false;
    };
    const bool server = db::isServerAddress(pathWithoutExtension);
    std::unique_ptr<db::Database> opened;
    try {
        opened = db::Database::OpenDatabase(server ? pathWithoutExtension
                                                   : pathWithoutExtension + QStringLiteral(".mdb"),
                                            readOnly);
        for (const db::TableDef& t : db::projectTables()) {
            if (!db::tableExists(*opened, t.name))
                return fail(server ? QStringLiteral("It is not a shared project: the table '%1' "
                                                    "is missing.")
                                         .arg(t.name)
                                   : QStringLiteral("It is not a project file: the table '%1' "
                                                    "is missing.")
                                         .arg(t.name));
        }
        // A server's tables are all made when it is made ready, its index among them.
        if (!server && !opened->readOnly()) {
            db::createMissingAddedTables(*opened);
            fulltext::createMissingIndexTables(*opened);
        }
    } catch (const std::exception& e) {
        return fail(describe(e));
    }

    std::unique_ptr<db::Database> previous = std::move(dbProject);
    const QString previousPath = m_projectFilePath;
    const bool previousServer = m_server;
    // A shared project is named by its address as the engine shows it: never with a password.
    m_projectFilePath = server ? opened->path() : pathWithoutExtension;
    m_server = server;
    dbProject = std::move(opened);
    try {
        m_masterRows = openAllLists();
    } catch (const std::exception& e) {
        const QString why = describe(e);
        dbProject = std::move(previous);
        m_projectFilePath = previousPath;
        m_server = previousServer;
        if (isOpen()) {
            try {
                m_masterRows = openAllLists();
            } catch (const std::exception&) {
                close();
            }
        }
        return fail(why);
    }
    previous.reset();
    m_lock.reset(); // the lock of the project that was open
    ++m_generation;
    return true;
}

} // namespace quirelle
