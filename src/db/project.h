// The open research project: its database file, and opening, checking and swapping one project
// for another. Windows and queries read it through record sets of their own. One instance with a
// visible lifetime: `open` fills it, `close` releases it, tests open their own.
#pragma once

#include "db/database.h"
#include "db/projectlock.h"

#include <QString>

#include <memory>

namespace quirelle {

class Project final
{
public:
    Project() = default;
    Project(const Project&) = delete;
    Project& operator=(const Project&) = delete;

    // The open project database; fails with an engine error when none is open.
    db::Database& db();
    bool isOpen() const;

    // Opens the project `pathWithoutExtension` + ".mdb": checks that it is a project database
    // (every described table is there), adds the tables newer versions keep when an older file
    // lacks them, reads every list once, and only then puts it in the place of the project
    // that was open. On failure the project that was open stays open and `reason` says what is
    // wrong with the file. A server address (db::isServerAddress) opens the shared project in
    // that database instead, whose tables the server was given when it was made ready.
    bool open(const QString& pathWithoutExtension, QString* reason = nullptr,
              bool readOnly = false);
    // Keeps the lock that tells other copies of the program the project is open here, until the
    // project is closed or another is opened.
    void keepLock(std::unique_ptr<db::ProjectLock> lock) { m_lock = std::move(lock); }
    // Hands the lock over, so that it outlives a close: while the file is swapped for another,
    // or when the project is opened again.
    std::unique_ptr<db::ProjectLock> takeLock() { return std::move(m_lock); }
    // The open project's path without ".mdb" (a shared project's address, without a password);
    // "" when none is open.
    const QString& projectFilePath() const { return m_projectFilePath; }
    // The project file, with its extension (a shared project's address as it stands).
    QString file() const
    {
        return m_server ? m_projectFilePath : m_projectFilePath + QStringLiteral(".mdb");
    }
    // Whether the open project is shared on a database server.
    bool isServer() const { return isOpen() && m_server; }
    bool readOnly() const { return isOpen() && dbProject->readOnly(); }
    // Closes the database.
    void close();

    // Changes every time a project is opened or closed, so that a window can tell whether the
    // rows it shows belong to the project that is open now.
    quint64 generation() const { return m_generation; }
    // How many rows the Master table had when the lists were last opened (more than one is an
    // error the caller reports).
    int masterRows() const { return m_masterRows; }

private:
    std::unique_ptr<db::Database> dbProject;
    QString m_projectFilePath; // the open project's path without ".mdb"
    bool m_server = false;
    quint64 m_generation = 0;
    int m_masterRows = 0;
    std::unique_ptr<db::ProjectLock> m_lock;
};

// The program's project.
Project& project();

} // namespace quirelle
