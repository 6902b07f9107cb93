// quirelle-cli: imports reference files into a project and exports its papers, without a window.
// Exit status: 0 done, 1 a file or the project could not be read or written, 2 a usage error.
#include "db/project.h"
#include "db/projectlock.h"
#include "interchange/data/exporter.h"
#include "interchange/data/importer.h"

#include <QCommandLineParser>
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
    "The project file must exist; it is never created here. A project that the program or\n"
    "another import has open is not imported into. An export writes nothing into the project.\n"
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
    QCommandLineParser parser;
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, {});
    const QCommandLineOption format(QStringLiteral("format"), {}, QStringLiteral("format"));
    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")}, {},
                                    QStringLiteral("file"));
    parser.addOptions({help, format, output});
    if (!parser.parse(args)) {
        const QStringList unknown = parser.unknownOptionNames();
        if (unknown.isEmpty()) {
            error = parser.errorText();
        } else {
            const QString& name = unknown.first();
            error = QStringLiteral("unknown option %1%2")
                        .arg(name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--"), name);
        }
        return std::nullopt;
    }
    Arguments a;
    a.positional = parser.positionalArguments();
    if (!a.positional.isEmpty())
        a.command = a.positional.takeFirst();
    if (parser.isSet(format))
        a.format = parser.value(format);
    if (parser.isSet(output))
        a.output = parser.value(output);
    a.help = parser.isSet(help);
    return a;
}

// Closes the project, and so lets go of its lock, however the command ends.
struct OpenProject
{
    OpenProject() = default;
    OpenProject(const OpenProject&) = delete;
    OpenProject& operator=(const OpenProject&) = delete;
    ~OpenProject() { project().close(); }
};

// Opens the project as the program opens it, checked to be a project. An import takes the
// project's lock first, and a project that the program or another import has open is refused.
// An export only reads: it opens the project read-only, whoever has it open, and writes nothing
// into it. Done, or NotRead after a message.
int openProject(const QString& file, bool forImport)
{
    if (!QFileInfo(file).isFile())
        return failure(QStringLiteral("the project file %1 does not exist").arg(file));
    const QString extension = QStringLiteral(".mdb");
    if (!file.endsWith(extension))
        return failure(
            QStringLiteral("%1 is not a project: its name does not end in .mdb").arg(file));
    std::unique_ptr<db::ProjectLock> lock;
    if (forImport) {
        lock = std::make_unique<db::ProjectLock>(file);
        if (lock->tryLock() == db::ProjectLock::Status::HeldElsewhere)
            return failure(lock->message() + QStringLiteral(" Nothing was imported."));
    }
    QString reason;
    if (!project().open(file.chopped(extension.size()), &reason, !forImport))
        return failure(
            QStringLiteral("%1 cannot be opened as a Quirelle project: %2").arg(file, reason));
    project().keepLock(std::move(lock));
    return Done;
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
