// The files a reference names: BibTeX's `file` field, either a plain path or the list other
// reference managers write ("description:path:type", several separated by ";", a ":", ";" or
// "\" inside a part written with a "\" before it), RIS's L1 and L4 lines, and file:// addresses.
#pragma once

#include <QString>

#include <vector>

namespace quirelle::interchange {

struct FileLink
{
    QString description;
    QString path; // as written; a file:// address as the path it names
    QString type;
    bool remote = false; // an address of another kind (https://...): no file on this computer
    bool operator==(const FileLink&) const = default;
};

// The files a `file` field names, in the order written; empty parts are left out.
std::vector<FileLink> parseFileField(const QString& value);

// The field for `files` as a list, each "description:path:type" with ":", ";" and "\" escaped.
QString fileFieldText(const std::vector<FileLink>& files);

// "PDF" for "paper.pdf": the type a list gives a file, from its extension.
QString fileType(const QString& path);

} // namespace quirelle::interchange
