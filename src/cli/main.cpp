// quirelle-cli: imports reference files into a project and exports its papers, without a window.
// Exit status: 0 done, 1 a file or the project could not be read or written, 2 a usage error.
#include "db/database.h"
#include "db/dberror.h"
#include "db/schema.h"
#include "interchange/data/exporter.h"
#include "interchange/data/extrafields.h"
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

namespace {

constexpr int Done = 0;
constexpr int NotRead = 1;
constexpr int Usage = 2;

const char* const HelpText =
    "Usage:\n"
    "  quirelle-cli import PROJECT.mdb FILE... [--format bibtex|ris|csljson]\n"
    "  quirelle-cli export PROJECT.mdb --format bibtex|ris|csljson [--output FILE]\n"
    "  quirelle-cli --help\n"
    "\n"
    "import  adds the references of each FILE to the project, one file at a time, each all\n"
    "        or nothing, and prints what was added and what was skipped. The format is taken\n"
    "        from the extension (.bib, .ris, .json) unless --format names it.\n"
    "export  writes every paper of the project as BibTeX, RIS or CSL-JSON, to standard output\n"
    "        or, with --output, to FILE (replaced only when the whole file is written).\n"
    "\n"
    "The project file must exist; it is never created here.\n"
    "Exit status: 0 done, 1 a file or the project could not be read or written, 2 usage error.\n";

void print(std::FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
    std::fflush(stream);
}

int usageError(const QString& message)
{
    print(stderr, QStringLiteral("quirelle-cli: %1\nTry 'quirelle-cli --help'.\n").arg(message));
    return Usage;
}

int failure(const QString& message)
{
    print(stderr, QStringLiteral("quirelle-cli: %1\n").arg(message));
    return NotRead;
}

struct Arguments
{
    QString command;
    QStringList positional;
    std::optional<QString> format;
    std::optional<QString> output;
    bool help = false;
};

// Options may come anywhere; "--" ends them.
std::optional<Arguments> parseArguments(const QStringList& args, QString& error)
{
    Arguments a;
    bool options = true;
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& arg = args[i];
        const auto value = [&](const QString& name) -> std::optional<QString> {
            if (arg.startsWith(name + QLatin1Char('=')))
                return arg.mid(name.size() + 1);
            if (i + 1 >= args.size()) {
                error = QStringLiteral("%1 needs a value").arg(name);
                return std::nullopt;
            }
            return args[++i];
        };
        if (options && arg == u"--") {
            options = false;
        } else if (options && (arg == u"--help" || arg == u"-h")) {
            a.help = true;
        } else if (options && (arg == u"--format" || arg.startsWith(u"--format="))) {
            a.format = value(QStringLiteral("--format"));
            if (!a.format)
                return std::nullopt;
        } else if (options &&
                   (arg == u"--output" || arg == u"-o" || arg.startsWith(u"--output="))) {
            a.output = value(arg == u"-o" ? QStringLiteral("-o") : QStringLiteral("--output"));
            if (!a.output)
                return std::nullopt;
        } else if (options && arg.startsWith(QLatin1Char('-')) && arg.size() > 1) {
            error = QStringLiteral("unknown option %1").arg(arg);
            return std::nullopt;
        } else if (a.command.isEmpty()) {
            a.command = arg;
        } else {
            a.positional << arg;
        }
    }
    return a;
}

// The project, checked as the program checks it before use; nullptr after a message.
std::unique_ptr<db::Database> openProject(const QString& path)
{
    if (!QFileInfo(path).isFile()) {
        failure(QStringLiteral("the project file %1 does not exist").arg(path));
        return nullptr;
    }
    try {
        auto database = db::Database::OpenDatabase(path);
        for (const db::TableDef& t : db::projectTables()) {
            if (!db::tableExists(*database, t.name)) {
                failure(QStringLiteral("%1 is not a Quirelle project: it has no table [%2]")
                            .arg(path, t.name));
                return nullptr;
            }
        }
        ensureExtraFieldsTable(*database);
        return database;
    } catch (const db::DbError& e) {
        failure(QStringLiteral("%1 cannot be opened as a Quirelle project: %2")
                    .arg(path, e.description()));
        return nullptr;
    }
}

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
    auto database = openProject(a.positional[0]);
    if (!database)
        return NotRead;
    int status = Done;
    for (qsizetype i = 1; i < a.positional.size(); ++i) {
        const ImportSummary s = importFile(*database, a.positional[i], format);
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
    auto database = openProject(a.positional[0]);
    if (!database)
        return NotRead;
    const ExportRequest request{*format, std::nullopt};
    if (a.output) {
        const ExportResult r = exportToFile(*database, request, *a.output);
        if (r.outcome != ExportResult::Outcome::Written)
            return failure(r.message);
        return Done;
    }
    QByteArray text;
    const ExportResult r = exportText(*database, request, text);
    if (r.outcome != ExportResult::Outcome::Written)
        return failure(r.message);
    QFile out;
    if (!out.open(stdout, QIODevice::WriteOnly) || out.write(text) != text.size() || !out.flush())
        return failure(QStringLiteral("the standard output could not be written"));
    return Done;
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
    if (a->command.isEmpty())
        return usageError(QStringLiteral("no command given"));
    return usageError(QStringLiteral("unknown command %1").arg(a->command));
}
