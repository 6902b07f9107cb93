// Reading and writing the `file` field of a reference.
#include "interchange/data/filefield.h"

#include <QRegularExpression>
#include <QStringList>
#include <QUrl>

namespace quirelle::interchange {

namespace {

bool isEscaped(QChar c)
{
    return c == u':' || c == u';' || c == u'\\';
}

// Splits at each `separator` that has no "\" before it; the parts keep their escapes.
QStringList splitUnescaped(const QString& text, QChar separator)
{
    QStringList parts;
    QString part;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\\' && i + 1 < text.size() && isEscaped(text[i + 1])) {
            part += c;
            part += text[++i];
        } else if (c == separator) {
            parts << part;
            part.clear();
        } else {
            part += c;
        }
    }
    parts << part;
    return parts;
}

// A "\" before ":", ";" or "\" taken out; any other "\" (a Windows path's) stays.
QString unescape(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\\' && i + 1 < text.size() && isEscaped(text[i + 1]))
            ++i;
        out += text[i];
    }
    return out;
}

QString escape(const QString& text)
{
    QString out;
    out.reserve(text.size() + 8);
    for (const QChar c : text) {
        if (isEscaped(c))
            out += u'\\';
        out += c;
    }
    return out;
}

// "C" of "C:\Papers\x.pdf": the drive letter a Windows path begins with.
bool isDrive(const QString& part, const QString& rest)
{
    return part.size() == 1 && part[0].isLetter() &&
           (rest.startsWith(u'\\') || rest.startsWith(u'/'));
}

// A file:// address as its path; another address marks the link remote.
void readAddress(FileLink& link)
{
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*://"));
    if (!scheme.match(link.path).hasMatch())
        return;
    const QUrl url(link.path);
    if (url.isLocalFile())
        link.path = url.toLocalFile();
    else
        link.remote = true;
}

} // namespace

std::vector<FileLink> parseFileField(const QString& value)
{
    std::vector<FileLink> links;
    for (const QString& item : splitUnescaped(value, u';')) {
        const QString raw = item.trimmed();
        if (raw.isEmpty())
            continue;
        FileLink link;
        const QStringList parts = splitUnescaped(raw, u':');
        if (raw.startsWith(QLatin1String("file:/"), Qt::CaseInsensitive)) {
            link.path = unescape(raw);
        } else if (parts.size() == 1) {
            link.path = unescape(raw);
        } else if (parts.size() == 2) {
            if (isDrive(parts[0], parts[1])) {
                link.path = parts[0] + u':' + unescape(parts[1]);
            } else {
                link.description = unescape(parts[0]);
                link.path = unescape(parts[1]);
            }
        } else {
            // The path may hold ":" that nobody escaped (a drive, an address): every part
            // between the first and the last is the path's.
            link.description = unescape(parts.first());
            link.type = unescape(parts.last());
            link.path = unescape(parts.mid(1, parts.size() - 2).join(u':'));
        }
        link.description = link.description.trimmed();
        link.path = link.path.trimmed();
        link.type = link.type.trimmed();
        if (link.path.isEmpty())
            continue;
        readAddress(link);
        links.push_back(std::move(link));
    }
    return links;
}

QString fileFieldText(const std::vector<FileLink>& files)
{
    QStringList items;
    for (const FileLink& f : files)
        items << escape(f.description) + u':' + escape(f.path) + u':' + escape(f.type);
    return items.join(u';');
}

QString fileType(const QString& path)
{
    const qsizetype slash = std::max(path.lastIndexOf(u'/'), path.lastIndexOf(u'\\'));
    const qsizetype dot = path.lastIndexOf(u'.');
    if (dot <= slash + 1)
        return {};
    return path.mid(dot + 1).toUpper();
}

} // namespace quirelle::interchange
