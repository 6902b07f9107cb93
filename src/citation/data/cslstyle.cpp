// Styles and locales found on the disk, and their XML as the processor's JSON form.
#include "citation/data/cslstyle.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QXmlStreamReader>

#include <map>

namespace quirelle::citation {

namespace {

const QString systemFolder = QStringLiteral("/usr/share/citation-style-language");

QByteArray readFile(const QString& path, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("%1 cannot be read: %2").arg(path, file.errorString());
        return {};
    }
    return file.readAll();
}

// The elements whose text is their content; an empty one still has its (empty) text.
bool holdsText(QStringView element)
{
    return element == u"term" || element == u"single" || element == u"multiple";
}

// What a style says of itself, read from its <info> without converting the whole file.
struct Header
{
    QString title;
    QString parent; // the independent parent's id, for a dependent style
    QString defaultLocale;
    bool isStyle = false;
};

Header readHeader(const QByteArray& xml)
{
    Header header;
    QXmlStreamReader reader(xml);
    bool inInfo = false;
    while (!reader.atEnd()) {
        const auto token = reader.readNext();
        if (token == QXmlStreamReader::StartElement) {
            const QStringView name = reader.name();
            if (name == u"style") {
                header.isStyle = true;
                header.defaultLocale =
                    reader.attributes().value(QLatin1String("default-locale")).toString();
            } else if (name == u"info") {
                inInfo = true;
            } else if (inInfo && name == u"title" && header.title.isEmpty()) {
                header.title = reader.readElementText().simplified();
            } else if (inInfo && name == u"link" &&
                       reader.attributes().value(QLatin1String("rel")) == u"independent-parent") {
                header.parent = reader.attributes().value(QLatin1String("href")).toString();
            } else if (!inInfo && header.isStyle) {
                break; // past the info: nothing more to learn
            }
        } else if (token == QXmlStreamReader::EndElement && reader.name() == u"info") {
            break;
        }
    }
    return header;
}

QString nameOfStyleId(const QString& id)
{
    QString name = id.section(QLatin1Char('/'), -1);
    if (name.endsWith(QStringLiteral(".csl")))
        name.chop(4);
    return name;
}

// The style files of every folder, by name, earlier folders first.
std::map<QString, QString> styleFiles()
{
    std::map<QString, QString> files;
    for (const QString& folder : styleFolders()) {
        for (const QString& sub : {QString(), QStringLiteral("dependent")}) {
            const QDir dir(sub.isEmpty() ? folder : folder + QLatin1Char('/') + sub);
            for (const QFileInfo& info : dir.entryInfoList({QStringLiteral("*.csl")}, QDir::Files))
                files.emplace(info.completeBaseName(), info.absoluteFilePath());
        }
    }
    return files;
}

} // namespace

QString userStyleFolder()
{
    return QDir::current().absoluteFilePath(QStringLiteral("styles"));
}

QStringList styleFolders()
{
    return {userStyleFolder(), systemFolder + QStringLiteral("/styles")};
}

QStringList localeFolders()
{
    return {QDir::current().absoluteFilePath(QStringLiteral("locales")),
            systemFolder + QStringLiteral("/locales")};
}

std::vector<StyleInfo> listStyles(const QString& filter)
{
    std::vector<StyleInfo> styles;
    for (const auto& [name, path] : styleFiles()) {
        const Header header = readHeader(readFile(path, nullptr));
        if (!header.isStyle)
            continue;
        if (!filter.isEmpty() && !name.contains(filter, Qt::CaseInsensitive) &&
            !header.title.contains(filter, Qt::CaseInsensitive))
            continue;
        styles.push_back({name, header.title, path, !header.parent.isEmpty()});
    }
    return styles;
}

QString styleFile(const QString& nameOrFile)
{
    if (QFileInfo(nameOrFile).isFile())
        return QFileInfo(nameOrFile).absoluteFilePath();
    const auto files = styleFiles();
    const auto found = files.find(nameOfStyleId(nameOrFile));
    return found == files.end() ? QString() : found->second;
}

std::optional<Style> loadStyle(const QString& nameOrFile, QString* error)
{
    QString path = nameOrFile;
    if (!QFileInfo(path).isFile()) {
        const auto files = styleFiles();
        const auto found = files.find(nameOfStyleId(nameOrFile));
        if (found == files.end()) {
            if (error)
                *error = QStringLiteral("No citation style \"%1\" was found.").arg(nameOrFile);
            return std::nullopt;
        }
        path = found->second;
    }
    QString readError;
    QByteArray xml = readFile(path, &readError);
    if (xml.isNull()) {
        if (error)
            *error = readError;
        return std::nullopt;
    }
    const Header header = readHeader(xml);
    Style style{QFileInfo(path).completeBaseName(), header.title, header.defaultLocale, {}};
    if (!header.parent.isEmpty()) {
        const auto files = styleFiles();
        const auto parent = files.find(nameOfStyleId(header.parent));
        if (parent == files.end()) {
            if (error)
                *error = QStringLiteral("The style \"%1\" depends on \"%2\", which was not found.")
                             .arg(style.name, header.parent);
            return std::nullopt;
        }
        xml = readFile(parent->second, error);
        if (xml.isNull())
            return std::nullopt;
    }
    QString xmlError;
    auto json = xmlToJson(xml, &xmlError);
    if (!json || json->value(QStringLiteral("name")).toString() != QStringLiteral("style")) {
        if (error)
            *error = QStringLiteral("%1 is not a valid CSL style: %2")
                         .arg(path, json ? QStringLiteral("it has no <style> element") : xmlError);
        return std::nullopt;
    }
    if (!header.parent.isEmpty() && !style.defaultLocale.isEmpty()) {
        // The dependent style's language wins over its parent's.
        QJsonObject attrs = json->value(QStringLiteral("attrs")).toObject();
        attrs.insert(QStringLiteral("default-locale"), style.defaultLocale);
        json->insert(QStringLiteral("attrs"), attrs);
    }
    style.json = *json;
    return style;
}

std::optional<QJsonObject> loadLocale(const QString& language)
{
    if (language.isEmpty() || language.contains(QLatin1Char('/')))
        return std::nullopt;
    for (const QString& folder : localeFolders()) {
        QString path = folder + QStringLiteral("/locales-") + language + QStringLiteral(".xml");
        if (!QFileInfo::exists(path) && !language.contains(QLatin1Char('-'))) {
            // A bare language: its main dialect ("de" -> "de-DE"), else any of its dialects.
            const QString main = folder + QStringLiteral("/locales-") + language +
                                 QLatin1Char('-') + language.toUpper() + QStringLiteral(".xml");
            const QStringList dialects = QDir(folder).entryList(
                {QStringLiteral("locales-") + language + QStringLiteral("-*.xml")}, QDir::Files,
                QDir::Name);
            path = QFileInfo::exists(main) ? main
                   : dialects.isEmpty()    ? QString()
                                           : folder + QLatin1Char('/') + dialects.first();
        }
        if (path.isEmpty() || !QFileInfo::exists(path))
            continue;
        const QByteArray xml = readFile(path, nullptr);
        if (auto json = xmlToJson(xml, nullptr))
            return json;
    }
    return std::nullopt;
}

std::optional<QJsonObject> xmlToJson(const QByteArray& xml, QString* error)
{
    QXmlStreamReader reader(xml);
    // The open elements; each keeps its children and the text seen directly inside it.
    struct Open
    {
        QJsonObject element;
        QJsonArray children;
        QString text;
    };
    std::vector<Open> stack;
    std::optional<QJsonObject> root;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement: {
            QJsonObject attrs;
            for (const QXmlStreamAttribute& a : reader.attributes()) {
                if (a.prefix().isEmpty())
                    attrs.insert(a.name().toString(), a.value().toString());
            }
            QJsonObject element;
            element.insert(QStringLiteral("name"), reader.name().toString());
            element.insert(QStringLiteral("attrs"), attrs);
            stack.push_back({element, {}, {}});
            break;
        }
        case QXmlStreamReader::Characters:
            if (!stack.empty())
                stack.back().text += reader.text();
            break;
        case QXmlStreamReader::EndElement: {
            Open open = std::move(stack.back());
            stack.pop_back();
            const QString name = open.element.value(QStringLiteral("name")).toString();
            if (open.children.isEmpty() && (holdsText(name) || !open.text.trimmed().isEmpty())) {
                open.children.append(open.text);
            }
            open.element.insert(QStringLiteral("children"), open.children);
            if (stack.empty())
                root = open.element;
            else
                stack.back().children.append(open.element);
            break;
        }
        default:
            break;
        }
    }
    if (reader.hasError() || !root) {
        if (error) {
            *error = reader.hasError() ? QStringLiteral("line %1: %2")
                                             .arg(reader.lineNumber())
                                             .arg(reader.errorString())
                                       : QStringLiteral("it is empty");
        }
        return std::nullopt;
    }
    return root;
}

} // namespace quirelle::citation
