// What every command of quirelle-cli shares: its exit statuses, its messages, its arguments and
// the project it opens.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdio>
#include <optional>

namespace quirelle::cli {

constexpr int Done = 0;
constexpr int NotRead = 1;
constexpr int Usage = 2;

void print(std::FILE* stream, const QString& text);
// Says what was wrong with the command line; returns Usage.
int usageError(const QString& message);
// Says what could not be read or written; returns NotRead.
int failure(const QString& message);

struct Arguments
{
    QString command;
    QStringList positional;
    std::optional<QString> format;
    std::optional<QString> output;
    std::optional<QString> style;
    std::optional<QString> ids;
    std::optional<QString> locale;
    bool all = false;
    bool citation = false;
    bool copy = false;
    bool missing = false;
    bool help = false;
};

// Options may come anywhere; "--" ends them. Nothing, with `error`, for an unknown option or a
// missing value.
std::optional<Arguments> parseArguments(const QStringList& args, QString& error);

// Closes the project, and so lets go of its lock, however the command ends.
struct OpenProject
{
    OpenProject() = default;
    OpenProject(const OpenProject&) = delete;
    OpenProject& operator=(const OpenProject&) = delete;
    ~OpenProject();
};

// Opens the project as the program opens it, checked to be a project. A command that writes takes
// the project's lock first, and a project that the program or another import has open is
// refused. One that only reads opens the project read-only, whoever has it open, and writes
// nothing into it. Done, or NotRead after a message.
int openProject(const QString& file, bool forWriting);

// Writes `bytes` to standard output; NotRead after a message when it cannot.
int writeOut(const QByteArray& bytes);

// The commands that format references: `cite` and `styles`.
int runCite(const Arguments& a);
int runStyles(const Arguments& a);

} // namespace quirelle::cli
