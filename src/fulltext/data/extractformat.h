// What quirelle-extract and the program that runs it agree on: the kinds of file read, how the
// pages are framed on the way, and the exit statuses.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace quirelle::fulltext {

enum class TextKind { Pdf, Plain, Markdown, Html, Other };

// By the file name's extension (letter case ignored).
TextKind textKindOf(const QString& path);

// The text of a file read whole: UTF-8 (Latin-1 when it is not valid UTF-8), and for HTML
// without its markup, scripts and styles, with its character references read.
QString plainTextOf(const QByteArray& bytes, TextKind kind);

constexpr int ExtractRead = 0;
constexpr int ExtractUsage = 2;
constexpr int ExtractEncrypted = 3;
constexpr int ExtractDamaged = 4;
constexpr int ExtractUnsupported = 5;

QByteArray extractHeader();
QByteArray framePage(const QString& text);
QByteArray extractTrailer();

// The answer for one file at the start of `output`: its pages, or the exit status it failed
// with ("FAILED <status>\n", in the mode that reads one file after another).
struct Response
{
    enum class Kind { Incomplete, Pages, Failed, Garbage };
    Kind kind = Kind::Incomplete;
    QStringList pages;
    int status = 0;
    qsizetype consumed = 0; // bytes of `output` the answer took
};
Response parseResponse(const QByteArray& output);
QByteArray failedResponse(int status);

// A path as one line of the extractor's input, and back.
QByteArray pathLine(const QString& path);
QString pathOfLine(const QByteArray& line);

} // namespace quirelle::fulltext
