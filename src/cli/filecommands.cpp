// The files commands of quirelle-cli, on the same routines as the paper window's "Files" tab.
#include "cli/filecommands.h"

#include "cli/cli.h"
#include "db/dberror.h"
#include "db/project.h"
#include "paper/data/paperfiles.h"

#include <QDir>

namespace quirelle::cli {

int runAttach(const Arguments& a)
{
    if (a.positional.size() < 3)
        return usageError(QStringLiteral("attach needs a project, a paper id and at least one "
                                         "file"));
    if (a.format || a.output || a.missing)
        return usageError(QStringLiteral("attach takes no option but --copy"));
    bool isNumber = false;
    const qint32 paperId = a.positional[1].toInt(&isNumber);
    if (!isNumber || paperId < 1)
        return usageError(QStringLiteral("%1 is not a paper id").arg(a.positional[1]));
    const OpenProject opened;
    if (openProject(a.positional[0], true) != Done)
        return NotRead;
    const paper::FileFolders folders(project().file());
    const paper::FileKind kind = a.copy ? paper::FileKind::Attached : paper::FileKind::Linked;
    int status = Done;
    for (qsizetype i = 2; i < a.positional.size(); ++i) {
        try {
            const paper::PaperFile f =
                paper::addPaperFile(project().db(), folders, paperId, a.positional[i], kind);
            print(stdout, QStringLiteral("%1\t%2\t%3\n")
                              .arg(paperId)
                              .arg(a.copy ? QStringLiteral("attached") : QStringLiteral("linked"),
                                   QDir::toNativeSeparators(f.path)));
        } catch (const db::DbError& e) {
            print(stderr, QStringLiteral("quirelle-cli: %1\n").arg(e.description()));
            status = NotRead;
        }
    }
    return status;
}

int runFiles(const Arguments& a)
{
    if (a.positional.size() != 1)
        return usageError(QStringLiteral("files needs exactly one project"));
    if (a.format || a.output || a.copy)
        return usageError(QStringLiteral("files takes no option but --missing"));
    const OpenProject opened;
    if (openProject(a.positional[0], false) != Done)
        return NotRead;
    try {
        QString text;
        for (const paper::PaperFile& f :
             paper::paperFiles(project().db(), paper::FileFolders(project().file()), 0)) {
            if (a.missing && f.exists)
                continue;
            const QString state = !f.exists                             ? QStringLiteral("missing")
                                  : f.kind == paper::FileKind::Attached ? QStringLiteral("attached")
                                                                        : QStringLiteral("linked");
            text += QStringLiteral("%1\t%2\t%3\n")
                        .arg(f.paperId)
                        .arg(state, QDir::toNativeSeparators(f.path));
        }
        print(stdout, text);
    } catch (const db::DbError& e) {
        return failure(e.description());
    }
    return Done;
}

} // namespace quirelle::cli
