// quirelle-cli: imports reference files into a project and exports its papers, without a window.
// Exit status: 0 done, 1 a file or the project could not be read or written, 2 a usage error.
#include "cli/cli.h"
#include "cli/filecommands.h"
#include "cli/fulltextcommands.h"
#include "cli/projectcommands.h"
#include "db/project.h"
#include "interchange/data/exporter.h"
#include "interchange/data/importer.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cstdio>
#include <memory>
#include <optional>

using namespace quirelle;
using namespace quirelle::interchange;
using namespace quirelle::cli;

namespace {

const char* const HelpText =
    "Usage:\n"
    "  quirelle-cli import PROJECT.mdb FILE... [--format bibtex|ris|csljson]\n"
    "  quirelle-cli export PROJECT.mdb --format bibtex|ris|csljson [--output FILE]\n"
    "  quirelle-cli cite PROJECT.mdb --style NAME|FILE [--ids 1,5,9 | --all] [--citation]\n"
    "               [--format text|html|rtf] [--locale en-GB] [--output FILE]\n"
    "  quirelle-cli styles [FILTER]\n"
    "  quirelle-cli attach PROJECT.mdb PAPER-ID FILE... [--copy]\n"
    "  quirelle-cli files PROJECT.mdb [--missing]\n"
    "  quirelle-cli index PROJECT.mdb\n"
    "  quirelle-cli search PROJECT.mdb TEXT...\n"
    "  quirelle-cli copy SOURCE DEST\n"
    "  quirelle-cli init-server postgresql://USER@HOST[:PORT]/DATABASE\n"
    "  quirelle-cli --help\n"
    "\n"
    "import  adds the references of each FILE to the project, one file at a time, each all\n"
    "        or nothing, and prints what was added and what was skipped. The format is taken\n"
    "        from the extension (.bib, .ris, .json) unless --format names it.\n"
    "export  writes every paper of the project as BibTeX, RIS or CSL-JSON, to standard output\n"
    "        or, with --output, to FILE (replaced only when the whole file is written).\n"
    "cite    formats the papers with the given numbers (or every paper) in a citation style:\n"
    "        a bibliography sorted as the style sorts, or with --citation one in-text citation.\n"
    "        NAME is a style's name as `styles` lists it; FILE a .csl file.\n"
    "styles  lists the citation styles found, with their titles; FILTER keeps those whose name\n"
    "        or title contains it.\n"
    "attach  links each FILE where it is to the paper, or with --copy attaches a copy in the\n"
    "        folder beside the project.\n"
    "files   lists the files of the papers, one line each: paper id, state, path; with\n"
    "        --missing only those that are not found.\n"
    "index   reads the text of the files added or changed since the last time into the\n"
    "        project's full-text index, and lists each file that could not be read.\n"
    "search  lists the papers whose files hold TEXT (words, \"a phrase\", word*, OR, NOT,\n"
    "        parentheses), best first: paper id, title, page and passage.\n"
    "copy    copies every table of the project SOURCE into DEST, each a project file or a\n"
    "        server address (postgresql://...), in one transaction, and compares each table's\n"
    "        row count and checksum; on any failure DEST is left as it was. A DEST file that\n"
    "        does not exist is created; a DEST that already holds a project is refused.\n"
    "init-server  creates the project's tables in an empty database on a server, so that a\n"
    "        project can be copied there and opened as a shared project.\n"
    "\n"
    "The project file must exist; it is never created here (copy creates its DEST). A\n"
    "project that the program or another import has open is not imported or copied into. An\n"
    "export writes nothing into the project.\n"
    "Exit status: 0 done, 1 a file or the project could not be read or written, 2 usage error.\n";

int runImport(const Arguments& a)
{
    if (a.positional.size() < 2)
        return usageError(QStringLiteral("import needs a project and at least one file"));
    if (a.output)
        return usageError(QStringLiteral("import takes no --output"));
    std::optional<Format> format;
    if (a.format) {
        format = formatFromName(*a.format);
        if (!format)
            return usageError(QStringLiteral("unknown format %1").arg(*a.format));
    } else {
        for (qsizetype i = 1; i < a.positional.size(); ++i) {
            if (!formatFromFileName(a.positional[i]))
                return usageError(QStringLiteral("the format of %1 is not known by its "
                                                 "extension; give --format")
                                      .arg(a.positional[i]));
        }
    }
    const OpenProject opened;
    if (openProject(a.positional[0], true) != Done)
        return NotRead;
    int status = Done;
    for (qsizetype i = 1; i < a.positional.size(); ++i) {
        const ImportSummary s = importFile(project().db(), a.positional[i], format);
        print(stdout, summaryText(s));
        if (s.outcome != ImportSummary::Outcome::Imported)
            status = NotRead;
    }
    return status;
}

int runExport(const Arguments& a)
{
    if (a.positional.size() != 1)
        return usageError(QStringLiteral("export needs exactly one project"));
    if (!a.format)
        return usageError(QStringLiteral("export needs --format bibtex, ris or csljson"));
    const std::optional<Format> format = formatFromName(*a.format);
    if (!format)
        return usageError(QStringLiteral("unknown format %1").arg(*a.format));
    const OpenProject opened;
    if (openProject(a.positional[0], false) != Done)
        return NotRead;
    const ExportRequest request{*format, std::nullopt};
    if (a.output) {
        const ExportResult r = exportToFile(project().db(), request, *a.output);
        if (r.outcome != ExportResult::Outcome::Written)
            return failure(r.message);
        return Done;
    }
    QByteArray text;
    const ExportResult r = exportText(project().db(), request, text);
    if (r.outcome != ExportResult::Outcome::Written)
        return failure(r.message);
    return writeOut(text);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QString error;
    const std::optional<Arguments> a = parseArguments(QCoreApplication::arguments(), error);
    if (!a)
        return usageError(error);
    if (a->help || a->command == u"help") {
        print(stdout, QString::fromLatin1(HelpText));
        return Done;
    }
    if (a->command == u"import")
        return runImport(*a);
    if (a->command == u"export")
        return runExport(*a);
    if (a->command == u"cite")
        return runCite(*a);
    if (a->command == u"styles")
        return runStyles(*a);
    if (a->command == u"attach")
        return runAttach(*a);
    if (a->command == u"files")
        return runFiles(*a);
    if (a->command == u"index")
        return runIndex(*a);
    if (a->command == u"search")
        return runSearch(*a);
    if (a->command == u"copy")
        return runCopy(*a);
    if (a->command == u"init-server")
        return runInitServer(*a);
    if (a->command.isEmpty())
        return usageError(QStringLiteral("no command given"));
    return usageError(QStringLiteral("unknown command %1").arg(a->command));
}
