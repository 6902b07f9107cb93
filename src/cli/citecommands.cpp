// quirelle-cli cite and styles: the project's papers formatted in a citation style, and the styles
// there are to choose from.
#include "citation/data/bibliography.h"
#include "citation/data/cslstyle.h"
#include "citation/data/processor.h"
#include "cli/cli.h"
#include "db/atomicfile.h"
#include "db/project.h"

namespace quirelle::cli {

namespace {

std::optional<citation::OutputFormat> outputFormat(const std::optional<QString>& name)
{
    if (!name || name->compare(QStringLiteral("text"), Qt::CaseInsensitive) == 0)
        return citation::OutputFormat::Text;
    if (name->compare(QStringLiteral("html"), Qt::CaseInsensitive) == 0)
        return citation::OutputFormat::Html;
    if (name->compare(QStringLiteral("rtf"), Qt::CaseInsensitive) == 0)
        return citation::OutputFormat::Rtf;
    return std::nullopt;
}

// "1,5,9" as paper numbers; nothing when one is not a number.
std::optional<QList<qint32>> paperNumbers(const QString& text)
{
    QList<qint32> papers;
    for (const QString& part : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        bool ok = false;
        const qint32 id = part.trimmed().toInt(&ok);
        if (!ok || id <= 0)
            return std::nullopt;
        papers << id;
    }
    if (papers.isEmpty())
        return std::nullopt;
    return papers;
}

} // namespace

int runCite(const Arguments& a)
{
    if (a.positional.size() != 1)
        return usageError(QStringLiteral("cite needs exactly one project"));
    if (!a.style)
        return usageError(QStringLiteral("cite needs --style NAME or --style FILE"));
    if (a.all == a.ids.has_value())
        return usageError(QStringLiteral("cite needs either --ids or --all"));
    const auto format = outputFormat(a.format);
    if (!format)
        return usageError(
            QStringLiteral("unknown format %1; cite writes text, html or rtf").arg(*a.format));
    QList<qint32> papers;
    if (a.ids) {
        const auto numbers = paperNumbers(*a.ids);
        if (!numbers)
            return usageError(QStringLiteral("--ids takes paper numbers separated by commas"));
        papers = *numbers;
    }

    QString error;
    const auto style = citation::loadStyle(*a.style, &error);
    if (!style)
        return failure(error);
    citation::Processor processor;
    if (!processor.setStyle(*style, a.locale.value_or(QString()), &error))
        return failure(error);

    const OpenProject opened;
    if (openProject(a.positional[0], false) != Done)
        return NotRead;
    const auto items = citation::itemsOfPapers(project().db(), papers, &error);
    if (!items)
        return failure(error);
    if (items->size() != papers.size() && !a.all)
        return failure(QStringLiteral("not every paper of --ids is in the project"));
    processor.setItems(*items);
    const QStringList ids = citation::idsOf(*items);
    QString text;
    if (a.citation) {
        text = processor.citation(ids, *format, &error);
        if (!text.isEmpty())
            text += QLatin1Char('\n');
    } else {
        const QStringList entries = processor.bibliography(ids, *format, &error);
        if (!entries.isEmpty() || ids.isEmpty())
            text = citation::document(entries, *format);
    }
    if (text.isEmpty() && !error.isEmpty())
        return failure(error);
    for (const QString& notice : processor.takeNotices())
        print(stderr, QStringLiteral("quirelle-cli: %1\n").arg(notice));

    if (!a.output)
        return writeOut(text.toUtf8());
    AtomicFile file(*a.output);
    if (!file.open() || !file.write(text.toUtf8()) || !file.commit())
        return failure(
            QStringLiteral("%1 could not be written: %2").arg(*a.output, file.errorString()));
    return Done;
}

int runStyles(const Arguments& a)
{
    if (a.positional.size() > 1)
        return usageError(QStringLiteral("styles takes at most one filter"));
    const auto styles = citation::listStyles(a.positional.value(0));
    if (styles.empty() && a.positional.isEmpty())
        return failure(
            QStringLiteral("no citation styles were found: install the packages "
                           "citation-style-language-styles "
                           "and citation-style-language-locales, or put .csl files in %1")
                .arg(citation::userStyleFolder()));
    QString text;
    for (const auto& style : styles)
        text += style.name + QLatin1Char('\t') + style.title + QLatin1Char('\n');
    return writeOut(text.toUtf8());
}

} // namespace quirelle::cli
