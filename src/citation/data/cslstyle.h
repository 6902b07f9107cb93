// Citation styles and locales in the Citation Style Language: where they are found (the
// system's packages, and a folder of the user's own that wins over them), what each style is
// called, dependent styles resolved to their parent, and their XML turned into the JSON form the
// reference processor reads.
#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace quirelle::citation {

struct StyleInfo
{
    QString name;  // the file name without ".csl": what a user types to choose it
    QString title; // the style's own title
    QString path;
    bool dependent = false;
};

// Where styles are looked for, the user's own folder first.
QStringList styleFolders();
// Where locales are looked for, the user's own folder first.
QStringList localeFolders();
// The user's own folder for styles: "styles" in the data folder (the working folder).
QString userStyleFolder();

// Every style found, by name, a name in an earlier folder hiding the same name in a later one;
// only those whose name or title contains `filter` (letter case aside) when one is given.
std::vector<StyleInfo> listStyles(const QString& filter = {});

// A loaded style: its XML as JSON and the style that gives its formatting.
struct Style
{
    QString name;
    QString title;
    QString defaultLocale; // the style's default-locale, or empty
    QJsonObject json;      // the independent style's XML, as the processor's JSON form
};

// The file of `nameOrFile` (a style's name, or a path to a .csl file) as the style list gives
// it; empty when there is none.
QString styleFile(const QString& nameOrFile);

// Reads `nameOrFile` (a style's name, or a path to a .csl file). A dependent style is replaced by
// its parent, keeping the dependent's title and its default locale. Nothing, with `error` saying
// what is wrong, for a missing file or one that is not a valid CSL style.
std::optional<Style> loadStyle(const QString& nameOrFile, QString* error);

// The locale file for `language` ("en-US", "de"): the exact one, else the primary dialect the
// style language implies ("de" -> "de-DE"), as JSON; nothing when none is found.
std::optional<QJsonObject> loadLocale(const QString& language);

// The processor's JSON form of a CSL style or locale: {name, attrs, children}, text content as
// a string child. Nothing, with `error` naming the line, for text that is not well-formed XML.
std::optional<QJsonObject> xmlToJson(const QByteArray& xml, QString* error);

} // namespace quirelle::citation
