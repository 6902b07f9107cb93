// Reading and writing the settings file.
#include "app/settingsfile.h"

#include "db/atomicfile.h"

#include <QFile>

namespace quirelle::settings {

namespace {

// Reads the first item of `line` as the file is written: leading blanks are skipped; a value in
// double quotes is taken without them, a doubled quote inside standing for one; anything else
// ends at a comma or at the end of the line.
QString firstItem(const QString& line)
{
    qsizetype i = 0;
    const qsizetype n = line.size();
    while (i < n && (line[i] == QLatin1Char(' ') || line[i] == QLatin1Char('\t')))
        ++i;
    if (i < n && line[i] == QLatin1Char('"')) {
        QString item;
        for (++i; i < n; ++i) {
            if (line[i] == QLatin1Char('"')) {
                if (i + 1 < n && line[i + 1] == QLatin1Char('"')) {
                    item += QLatin1Char('"');
                    ++i;
                    continue;
                }
                break;
            }
            item += line[i];
        }
        return item;
    }
    qsizetype end = line.indexOf(QLatin1Char(','), i);
    if (end < 0)
        end = n;
    return line.mid(i, end - i).trimmed();
}

QString quoted(const QString& path)
{
    QString inner = path;
    inner.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + inner + QLatin1Char('"');
}

} // namespace

QString readLastProject(const QString& file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return lastProjectIn(f.readAll());
}

QString lastProjectIn(const QByteArray& content)
{
    const qsizetype lineEnd = content.indexOf('\n');
    if (lineEnd < 0)
        return {};
    QByteArray second = content.mid(lineEnd + 1);
    const qsizetype secondEnd = second.indexOf('\n');
    if (secondEnd >= 0)
        second.truncate(secondEnd);
    if (second.endsWith('\r'))
        second.chop(1);
    return firstItem(QString::fromUtf8(second));
}

QString writeLastProject(const QString& path, const QString& file)
{
    // Line 1, with its own line end, goes back exactly as it was read.
    QByteArray firstLine = "\n";
    QFile in(file);
    if (in.exists()) {
        if (!in.open(QIODevice::ReadOnly))
            return in.errorString();
        const QByteArray content = in.readAll();
        if (in.error() != QFileDevice::NoError)
            return in.errorString();
        const qsizetype lineEnd = content.indexOf('\n');
        firstLine = lineEnd < 0 ? content + '\n' : content.left(lineEnd + 1);
    }
    const QByteArray lineEnd = firstLine.endsWith("\r\n") ? "\r\n" : "\n";
    return writeWholeFile(file, firstLine + quoted(path).toUtf8() + lineEnd);
}

} // namespace quirelle::settings
