// Making and reading list lines.
#include "db/listline.h"

namespace quirelle {

namespace {

const QString separator = QStringLiteral(" : ");

} // namespace

QString ListLine::format(qint32 id, const QString& text)
{
    return QString::number(id) + separator + text;
}

std::optional<ListLine> ListLine::parse(const QString& line)
{
    const qsizetype at = line.indexOf(separator);
    if (at <= 0)
        return std::nullopt;
    for (qsizetype i = 0; i < at; ++i) {
        if (line[i] < QLatin1Char('0') || line[i] > QLatin1Char('9'))
            return std::nullopt;
    }
    bool ok = false;
    const qint32 id = line.left(at).toInt(&ok);
    if (!ok)
        return std::nullopt;
    return ListLine{id, line.mid(at + separator.size())};
}

QString ListLine::idText(const QString& line)
{
    const qsizetype blank = line.indexOf(QLatin1Char(' '));
    return (blank < 0 ? line : line.left(blank + 1)).trimmed();
}

std::optional<qint32> ListLine::idOf(const QString& line)
{
    bool ok = false;
    const qint32 id = idText(line).toInt(&ok);
    return ok ? std::optional<qint32>(id) : std::nullopt;
}

} // namespace quirelle
