// A small program the crash and concurrency tests start and kill: it writes to a project through
// the engine as the program does and prints what it has stored only once the engine returned,
// so that whatever was printed must survive a kill.
//
//   quirelle_crashharness add <project.mdb> <count> [<rows per transaction>]
//       adds papers; prints "stored <id>" for each once its Update (or its transaction) is done
//   quirelle_crashharness delete <project.mdb> <first id> <last id>
//       deletes those papers with their link rows, one transaction each, as the paper window
//       does; prints "deleted <id>" after each commit
//   quirelle_crashharness hold-write <project.mdb>
//       adds a paper in a transaction, prints "holding <id>", commits when a line arrives on
//       stdin, then prints "committed <id>"
//   quirelle_crashharness import <project.mdb> <references file>
//       imports the file as the program does, printing "progress <done>" as rows are stored,
//       then "imported <papers>" once the import's one transaction is committed
//   quirelle_crashharness member <project> <count> <tag>
//       adds papers as one member of a group does, the project a file or a server address: each
//       paper with an author of its own and their link in one transaction; prints
//       "added <paper id> <author id>" after each commit, "lost <n>" when the server ended the
//       session (the paper is tried again, once connected again) and "done" at the end
//   quirelle_crashharness hold-lock <project.mdb>
//       takes the project lock, prints "locked" (or "held" with the holder's message) and waits
//       until stdin closes
#include "db/database.h"
#include "db/dberror.h"
#include "db/project.h"
#include "db/projectlock.h"
#include "db/sharedqueries.h"
#include "interchange/data/importer.h"
#include "paper/data/paperqueries.h"

#include <QCoreApplication>
#include <QStringList>

#include <chrono>
#include <cstdio>
#include <functional>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <thread>

using namespace quirelle;

namespace {

void say(const char* what, qint64 id)
{
    std::printf("%s %lld\n", what, static_cast<long long>(id));
    std::fflush(stdout);
}

void waitForLine()
{
    std::string line;
    std::getline(std::cin, line);
}

// Opens the project as the program does; a refusal ends the run with its reason.
void openProject(const QString& file)
{
    QString reason;
    if (!project().open(file.chopped(4), &reason))
        throw db::DbError(db::err::Generic, reason);
}

qint32 addPaper(db::Recordset& papers, int n)
{
    papers.AddNew();
    papers["Title"] = QStringLiteral("Burst paper %1").arg(n);
    // Long enough for the rows to spread over many pages, so a kill can fall between them.
    papers["Summary"] = QStringLiteral("Summary of burst paper %1. ").arg(n).repeated(20);
    papers.Update();
    papers.setBookmark(papers.LastModified());
    return papers["Paper ID"].toLong();
}

void addPapers(const QStringList& args)
{
    auto project = db::Database::OpenDatabase(args.value(0));
    const int count = args.value(1).toInt();
    const int batch = qMax(1, args.value(2, "1").toInt());
    db::Recordset papers = project->OpenRecordset("select * from [Papers];");
    for (int n = 0; n < count;) {
        if (batch == 1) {
            say("stored", addPaper(papers, n++));
            continue;
        }
        QList<qint32> ids;
        db::Transaction transaction(*project);
        for (int i = 0; i < batch && n < count; ++i)
            ids << addPaper(papers, n++);
        transaction.commit();
        for (qint32 id : ids)
            say("stored", id);
    }
}

// Whether the server ended the session (it restarted): the next action connects again.
bool connectionLost(const db::DbError& e)
{
    return e.number() == db::err::Generic && e.description().contains(QLatin1String("was lost"));
}

void addAsMember(const QStringList& args)
{
    auto project = db::Database::OpenDatabase(args.value(0));
    const int count = args.value(1).toInt();
    const QString tag = args.value(2);
    // Opened again after a lost connection, as the windows do on the next action.
    std::optional<db::Recordset> papers;
    std::optional<db::Recordset> authors;
    std::optional<db::Recordset> links;
    const auto open = [&] {
        papers = project->OpenRecordset("select * from [Papers];");
        authors = project->OpenRecordset("select * from [Authors];");
        links = project->OpenRecordset("select * from [Paper Authors List];");
    };
    // A commit the server received just before it went leaves the paper stored: it is not
    // added twice.
    const auto stored = [&](const QString& title) {
        db::Recordset found = project->OpenRecordset(
            QStringLiteral("select * from [Papers] where [Title] = ?;"), {title});
        return !found.isEmpty();
    };
    bool retrying = false;
    for (int n = 0; n < count;) {
        const QString title = QStringLiteral("%1 paper %2").arg(tag).arg(n);
        try {
            if (!papers)
                open();
            if (retrying && stored(title)) {
                retrying = false;
                ++n;
                continue;
            }
            retrying = false;
            db::Transaction transaction(*project);
            papers->AddNew();
            (*papers)["Title"] = title;
            papers->Update();
            papers->setBookmark(papers->LastModified());
            const qint32 paper = (*papers)["Paper ID"].toLong();
            authors->AddNew();
            (*authors)["Surname"] = QStringLiteral("%1 author %2").arg(tag).arg(n);
            authors->Update();
            authors->setBookmark(authors->LastModified());
            const qint32 author = (*authors)["Author ID"].toLong();
            links->AddNew();
            (*links)["Paper ID"] = QString::number(paper);
            (*links)["Author ID"] = QString::number(author);
            links->Update();
            transaction.commit();
            std::printf("added %d %d\n", paper, author);
            std::fflush(stdout);
            ++n;
        } catch (const db::DbError& e) {
            if (!connectionLost(e))
                throw;
            std::printf("lost %d\n", n);
            std::fflush(stdout);
            papers.reset();
            authors.reset();
            links.reset();
            retrying = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
    std::printf("done\n");
    std::fflush(stdout);
}

void deletePapers(const QStringList& args)
{
    openProject(args.value(0));
    // The paper window's deletion: the paper with all its rows, or nothing.
    for (qint32 id = args.value(1).toInt(); id <= args.value(2).toInt(); ++id) {
        paper::deletePaper(id);
        say("deleted", id);
    }
    project().close();
}

void holdWrite(const QStringList& args)
{
    auto project = db::Database::OpenDatabase(args.value(0));
    db::Recordset papers = project->OpenRecordset("select * from [Papers];");
    db::Transaction transaction(*project);
    const qint32 id = addPaper(papers, 0);
    say("holding", id);
    waitForLine();
    transaction.commit();
    say("committed", id);
}

void importReferences(const QStringList& args)
{
    openProject(args.value(0));
    const interchange::ImportSummary summary = interchange::importFile(
        project().db(), args.value(1), std::nullopt, [](qsizetype done, qsizetype) {
            say("progress", done);
            return true;
        });
    say("imported", summary.papersAdded);
    project().close();
}

void holdLock(const QStringList& args)
{
    db::ProjectLock lock(args.value(0));
    const bool locked = lock.tryLock() == db::ProjectLock::Status::Locked;
    std::printf("%s\n", locked ? "locked" : qPrintable("held " + lock.message()));
    std::fflush(stdout);
    waitForLine();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const std::map<QString, std::function<void(const QStringList&)>> modes{
        {"add", addPapers},      {"delete", deletePapers},     {"hold-write", holdWrite},
        {"hold-lock", holdLock}, {"import", importReferences}, {"member", addAsMember},
    };
    QStringList args = app.arguments().mid(1);
    const auto mode = modes.find(args.value(0));
    if (mode == modes.end() || args.size() < 2) {
        std::fprintf(stderr,
                     "usage: quirelle_crashharness add|delete|import|member|hold-write|hold-lock "
                     "<project.mdb> ...\n");
        return 2;
    }
    args.removeFirst();
    try {
        mode->second(args);
        return 0;
    } catch (const db::DbError& e) {
        std::fprintf(stderr, "error %d: %s\n", e.number(), qPrintable(e.description()));
        std::printf("error %d: %s\n", e.number(), qPrintable(e.description()));
        return 1;
    }
}
