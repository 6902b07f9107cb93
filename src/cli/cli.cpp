// What the commands of quirelle-cli share.
#include "cli/cli.h"

#include "db/database.h"
#include "db/project.h"
#include "db/projectlock.h"

#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>

#include <memory>

namespace quirelle::cli {

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

// Options may come anywhere; "--" ends them.
std::optional<Arguments> parseArguments(const QStringList& args, QString& error)
{
    QCommandLineParser parser;
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, {});
    const QCommandLineOption format(QStringLiteral("format"), {}, QStringLiteral("format"));
    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")}, {},
                                    QStringLiteral("file"));
    const QCommandLineOption style(QStringLiteral("style"), {}, QStringLiteral("style"));
    const QCommandLineOption ids(QStringLiteral("ids"), {}, QStringLiteral("ids"));
    const QCommandLineOption locale(QStringLiteral("locale"), {}, QStringLiteral("locale"));
    const QCommandLineOption all(QStringLiteral("all"));
    const QCommandLineOption citation(QStringLiteral("citation"));
    const QCommandLineOption copy(QStringLiteral("copy"));
    const QCommandLineOption missing(QStringLiteral("missing"));
    parser.addOptions({help, format, output, style, ids, locale, all, citation, copy, missing});
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
    if (parser.isSet(style))
        a.style = parser.value(style);
    if (parser.isSet(ids))
        a.ids = parser.value(ids);
    if (parser.isSet(locale))
        a.locale = parser.value(locale);
    a.all = parser.isSet(all);
    a.citation = parser.isSet(citation);
    a.copy = parser.isSet(copy);
    a.missing = parser.isSet(missing);
    a.help = parser.isSet(help);
    return a;
}

OpenProject::~OpenProject()
{
    project().close();
}

int openProject(const QString& file, bool forWriting)
{
    QString reason;
    if (db::isServerAddress(file)) {
        // A shared project: the server orders its members' writes, no lock file does.
        if (!project().open(file, &reason, !forWriting))
            return failure(QStringLiteral("%1 cannot be opened as a Quirelle project: %2")
                               .arg(db::displayAddress(file), reason));
        return Done;
    }
    if (!QFileInfo(file).isFile())
        return failure(QStringLiteral("the project file %1 does not exist").arg(file));
    const QString extension = QStringLiteral(".mdb");
    if (!file.endsWith(extension))
        return failure(
            QStringLiteral("%1 is not a project: its name does not end in .mdb").arg(file));
    std::unique_ptr<db::ProjectLock> lock;
    if (forWriting) {
        lock = std::make_unique<db::ProjectLock>(file);
        if (lock->tryLock() == db::ProjectLock::Status::HeldElsewhere)
            return failure(lock->message() + QStringLiteral(" Nothing was imported."));
    }
    if (!project().open(file.chopped(extension.size()), &reason, !forWriting))
        return failure(
            QStringLiteral("%1 cannot be opened as a Quirelle project: %2").arg(file, reason));
    project().keepLock(std::move(lock));
    return Done;
}

int writeOut(const QByteArray& bytes)
{
    QFile out;
    if (!out.open(stdout, QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.flush())
        return failure(QStringLiteral("the standard output could not be written"));
    return Done;
}

} // namespace quirelle::cli
