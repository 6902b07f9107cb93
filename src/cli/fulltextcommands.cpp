// The full-text commands of quirelle-cli, on the same routines as the program's index.
#include "cli/fulltextcommands.h"

#include "cli/cli.h"
#include "db/dberror.h"
#include "db/project.h"
#include "fulltext/data/fulltextindex.h"
#include "paper/data/paperfiles.h"

#include <QDir>

#include <atomic>
#include <map>

namespace quirelle::cli {

int runIndex(const Arguments& a)
{
    if (a.positional.size() != 1)
        return usageError(QStringLiteral("index needs exactly one project"));
    if (a.format || a.output || a.copy || a.missing)
        return usageError(QStringLiteral("index takes no option"));
    const OpenProject opened;
    if (openProject(a.positional[0], true) != Done)
        return NotRead;
    try {
        // A shared project made by an older version has no index yet.
        if (!project().readOnly())
            fulltext::createMissingIndexTables(project().db());
        const paper::FileFolders folders(project().file());
        const std::atomic<bool> never{false};
        const fulltext::IndexRun run = fulltext::updateIndex(
            project().db(), folders,
            [](int done, int total) {
                print(stderr, QStringLiteral("\rIndexing %1 of %2 files").arg(done).arg(total));
            },
            never);
        if (run.total > 0)
            print(stderr, QStringLiteral("\n"));
        QString text = QStringLiteral("%1 files indexed, %2 could not be read, %3 not indexed, "
                                      "%4 removed from the index\n")
                           .arg(run.indexed)
                           .arg(run.unreadable)
                           .arg(run.notIndexed)
                           .arg(run.removed);
        std::map<qint32, paper::PaperFile> files;
        for (paper::PaperFile& f : paper::paperFiles(project().db(), folders, 0))
            files.emplace(f.id, std::move(f));
        for (const fulltext::FileIndexState& s : fulltext::indexStates(project().db())) {
            const auto f = files.find(s.fileId);
            if (s.state == QLatin1String("indexed") || f == files.end())
                continue;
            text += QStringLiteral("%1\t%2\t%3\t%4\n")
                        .arg(f->second.paperId)
                        .arg(s.state, s.reason, QDir::toNativeSeparators(f->second.path));
        }
        print(stdout, text);
    } catch (const db::DbError& e) {
        return failure(e.description());
    }
    return Done;
}

int runSearch(const Arguments& a)
{
    if (a.positional.size() < 2)
        return usageError(QStringLiteral("search needs a project and the words to find"));
    if (a.format || a.output || a.copy || a.missing)
        return usageError(QStringLiteral("search takes no option"));
    const OpenProject opened;
    if (openProject(a.positional[0], false) != Done)
        return NotRead;
    const QString typed = a.positional.mid(1).join(QLatin1Char(' '));
    try {
        QString text;
        for (const fulltext::FullTextHit& hit : fulltext::searchFullText(project().db(), typed)) {
            text +=
                QStringLiteral("%1\t%2\tpage %3\t%4\n")
                    .arg(hit.paperId)
                    .arg(hit.title)
                    .arg(hit.page)
                    .arg(fulltext::passagePlain(fulltext::passage(project().db(), typed, hit.row)));
        }
        print(stdout, text);
    } catch (const db::DbError& e) {
        return failure(e.description());
    }
    return Done;
}

} // namespace quirelle::cli
