// The project's papers as the processor's items, and its entries as documents.
#include "citation/data/bibliography.h"

#include "interchange/data/exporter.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace quirelle::citation {

std::optional<QJsonArray> itemsOfPapers(db::Database& database, const QList<qint32>& papers,
                                        QString* error)
{
    interchange::ExportRequest request{interchange::Format::CslJson, std::nullopt};
    if (!papers.isEmpty())
        request.papers = papers;
    QByteArray text;
    const auto result = interchange::exportText(database, request, text);
    if (result.outcome != interchange::ExportResult::Outcome::Written) {
        if (error)
            *error = result.message;
        return std::nullopt;
    }
    QJsonParseError parseError;
    const QJsonDocument json = QJsonDocument::fromJson(text, &parseError);
    if (!json.isArray()) {
        if (error)
            *error = parseError.errorString();
        return std::nullopt;
    }
    return json.array();
}

QStringList idsOf(const QJsonArray& items)
{
    QStringList ids;
    for (const QJsonValue& item : items)
        ids << item.toObject().value(QStringLiteral("id")).toVariant().toString();
    return ids;
}

QString document(const QStringList& entries, OutputFormat format)
{
    switch (format) {
    case OutputFormat::Html:
        return QStringLiteral("<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n"
                              "<title>Bibliography</title>\n</head>\n<body>\n"
                              "<div class=\"csl-bib-body\">\n") +
               entries.join(QLatin1Char('\n')) + QStringLiteral("\n</div>\n</body>\n</html>\n");
    case OutputFormat::Rtf:
        // The processor writes characters beyond ASCII as \uN escapes already.
        return QStringLiteral("{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Times New Roman;}}\n") +
               entries.join(QStringLiteral("\\par\n")) + QStringLiteral("\\par\n}\n");
    case OutputFormat::Text:
        break;
    }
    return entries.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

} // namespace quirelle::citation
