// The text of a file to import: its bytes decoded after the byte-order mark, an encoding line or
// a check of the bytes, and a test for files that are not text at all.
#pragma once

#include <QByteArray>
#include <QString>

namespace quirelle::interchange {

struct SourceText
{
    QString text;
    QString encoding; // the encoding it was read in, by name ("UTF-8", "ISO-8859-1")
    bool binary = false;
};

// UTF-8 (with or without its byte-order mark) or UTF-16 with its mark is read as such. Otherwise
// a `% Encoding: NAME` line near the top names the encoding; without one, bytes that are valid
// UTF-8 are read as UTF-8 and any others as Latin-1. Bytes with NULs or many control characters
// are taken for a binary file.
SourceText decodeSource(const QByteArray& bytes);

} // namespace quirelle::interchange
