// The reference processor in Qt's JavaScript engine.
#include "citation/data/processor.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>

namespace quirelle::citation {

namespace {

const char* formatName(OutputFormat format)
{
    switch (format) {
    case OutputFormat::Html:
        return "html";
    case OutputFormat::Rtf:
        return "rtf";
    case OutputFormat::Text:
        break;
    }
    return "text";
}

// Two changes to how the processor builds a style, made once after its script loads; what a
// style formats stays the same. A large style (APA, Chicago) otherwise takes seconds of CPU in
// Qt's engine to build, where it now takes a tenth of a second:
// - a macro is looked up by name in an index made once per style, instead of by a walk of the
//   whole style at every use (some ten million calls for APA);
// - in a sort key, a macro is built once per sort into a token list of its own and run from
//   there, as the processor does everywhere else, instead of being copied in at every place it
//   is used, macros within macros included: that copying made APA's sort keys some 130,000
//   tokens, a heap that Qt's garbage collector then walked over and over.
const char* speedUps = R"JS(
(function (CSL) {
    var walk = CSL.XmlJSON.prototype.getNodesByName;
    CSL.XmlJSON.prototype.getNodesByName = function (node, name, nameValue, found) {
        if (name !== "macro" || !nameValue || found || !node || node !== this.dataObj)
            return walk.call(this, node, name, nameValue, found);
        if (this.quirelleMacroRoot !== node) {
            var byName = Object.create(null);
            var all = walk.call(this, node, "macro");
            for (var i = 0; i < all.length; i++) {
                var key = all[i].attrs.name;
                (byName[key] || (byName[key] = [])).push(all[i]);
            }
            this.quirelleMacros = byName;
            this.quirelleMacroRoot = node;
        }
        var macros = this.quirelleMacros[nameValue];
        return macros ? macros.slice() : [];
    };

    var expand = CSL.expandMacro;
    CSL.expandMacro = function (token, target) {
        var extension = this.build.extension;
        if (!extension || CSL.MODULE_MACROS[token.postponed_macro])
            return expand.call(this, token, target);
        var lists = this.quirelleSortMacros || (this.quirelleSortMacros = Object.create(null));
        var key = [this.build.area, token.postponed_macro, this.build.current_default_locale,
                   token.strings.sort_direction || ""].join("\u0001");
        var list = lists[key];
        if (!list) {
            // The processor builds a sort key's macro into the sort's own list: it builds into
            // a fresh one while the macro is made.
            var sort = this[this.build.root + extension];
            var whole = sort.tokens;
            list = [];
            sort.tokens = list;
            try {
                expand.call(this, token, list);
            } finally {
                sort.tokens = whole;
            }
            this.configureTokenList(list);
            lists[key] = list;
        }
        var call = new CSL.Token("text", CSL.SINGLETON);
        call.execs.push(function (state, Item, item) {
            var next = 0;
            while (next < list.length)
                next = CSL.tokenExec.call(state, list[next], Item, item);
        });
        target.push(call);
    };
})
)JS";

} // namespace

Processor::Processor()
{
    // The processor calls back into this object for locales; it stays ours to delete.
    QJSEngine::setObjectOwnership(this, QJSEngine::CppOwnership);
}

Processor::~Processor() = default;

QString Processor::scriptPath()
{
    const QString given = qEnvironmentVariable("QUIRELLE_CITEPROC_JS");
    if (!given.isEmpty())
        return QFileInfo::exists(given) ? given : QString();
    const QString dir = QCoreApplication::applicationDirPath();
    for (const QString& candidate : {dir + QStringLiteral("/citeproc.js"),
                                     dir + QStringLiteral("/../share/quirelle/citeproc.js")}) {
        if (QFileInfo::exists(candidate))
            return QFileInfo(candidate).canonicalFilePath();
    }
#ifdef QUIRELLE_BUILD_CITEPROC
    // A program run from its build folder (the tests) finds the copy the build made.
    if (QFileInfo::exists(QStringLiteral(QUIRELLE_BUILD_CITEPROC)))
        return QStringLiteral(QUIRELLE_BUILD_CITEPROC);
#endif
    return {};
}

bool Processor::load(QString* error)
{
    if (!m_csl.isUndefined())
        return true;
    const QString path = scriptPath();
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        if (error) {
            *error = QStringLiteral(
                "The reference processor (citeproc.js) is not installed beside the program.\n"
                "scripts/install-deps fetches it; then build the program again.");
        }
        return false;
    }
    m_js.installExtensions(QJSEngine::ConsoleExtension);
    // The script is a CommonJS module: it hands its CSL object to `module.exports`.
    const QString source = QStringLiteral("(function () { var module = { exports: {} }; "
                                          "var exports = module.exports;\n") +
                           QString::fromUtf8(file.readAll()) +
                           QStringLiteral("\nreturn module.exports; })()");
    QJSValue csl = m_js.evaluate(source, path);
    if (failed(csl, error))
        return false;
    const QJSValue sped = m_js.evaluate(QString::fromLatin1(speedUps)).call({csl});
    if (failed(sped, error))
        return false;
    const QJSValue makeSys = m_js.evaluate(QStringLiteral(
        "(function (host) { return { items: {}, "
        "retrieveItem: function (id) { return this.items[id]; }, "
        "retrieveLocale: function (language) { return host.retrieveLocale(language); } }; })"));
    m_sys = makeSys.call({m_js.newQObject(this)});
    if (failed(m_sys, error))
        return false;
    m_csl = csl;
    return true;
}

bool Processor::failed(const QJSValue& result, QString* error)
{
    if (!result.isError())
        return false;
    if (error) {
        *error = result.property(QStringLiteral("message")).toString();
        const QString line = result.property(QStringLiteral("lineNumber")).toString();
        if (!line.isEmpty() && line != QStringLiteral("undefined"))
            *error += QStringLiteral(" (line %1)").arg(line);
    }
    return true;
}

QJsonObject Processor::retrieveLocale(const QString& language)
{
    if (auto locale = loadLocale(language))
        return *locale;
    if (!m_missingLocales.contains(language)) {
        m_missingLocales << language;
        m_notices
            << QStringLiteral("The locale %1 was not found; en-US is used instead.").arg(language);
    }
    return loadLocale(QStringLiteral("en-US")).value_or(QJsonObject());
}

bool Processor::setStyle(const Style& style, const QString& locale, QString* error)
{
    if (!load(error))
        return false;
    const QString language = !locale.isEmpty()                ? locale
                             : !style.defaultLocale.isEmpty() ? style.defaultLocale
                                                              : QStringLiteral("en-US");
    const QJSValue engine = m_csl.property(QStringLiteral("Engine"))
                                .callAsConstructor({m_sys, m_js.toScriptValue(style.json), language,
                                                    !locale.isEmpty()});
    if (failed(engine, error)) {
        if (error)
            *error = QStringLiteral("The style \"%1\" cannot be used: %2").arg(style.name, *error);
        return false;
    }
    m_engine = engine;
    m_styleName = style.name;
    return true;
}

void Processor::setItems(const QJsonArray& items)
{
    QJsonObject byId;
    for (const QJsonValue& item : items) {
        const QJsonValue id = item.toObject().value(QStringLiteral("id"));
        byId.insert(id.isString() ? id.toString() : QString::number(id.toDouble(), 'g', 17), item);
    }
    m_sys.setProperty(QStringLiteral("items"), m_js.toScriptValue(byId));
}

void Processor::useFormat(OutputFormat format)
{
    m_engine.property(QStringLiteral("setOutputFormat"))
        .callWithInstance(m_engine, {QString::fromLatin1(formatName(format))});
}

QStringList Processor::bibliography(const QStringList& ids, OutputFormat format, QString* error)
{
    if (m_engine.isUndefined()) {
        if (error)
            *error = QStringLiteral("No citation style is chosen.");
        return {};
    }
    useFormat(format);
    QStringList wanted = ids;
    if (wanted.isEmpty())
        wanted = m_sys.property(QStringLiteral("items")).toVariant().toMap().keys();
    QJSValue result = m_engine.property(QStringLiteral("updateItems"))
                          .callWithInstance(m_engine, {m_js.toScriptValue(wanted)});
    if (!failed(result, error))
        result = m_engine.property(QStringLiteral("makeBibliography")).callWithInstance(m_engine);
    if (failed(result, error))
        return {};
    if (!result.isArray()) {
        if (error)
            *error = QStringLiteral("The style \"%1\" has no bibliography.").arg(m_styleName);
        return {};
    }
    QStringList entries;
    const QJSValue list = result.property(1);
    const int count = list.property(QStringLiteral("length")).toInt();
    for (int i = 0; i < count; ++i)
        entries << list.property(i).toString().trimmed();
    return entries;
}

QString Processor::citation(const QStringList& ids, OutputFormat format, QString* error)
{
    if (m_engine.isUndefined()) {
        if (error)
            *error = QStringLiteral("No citation style is chosen.");
        return {};
    }
    useFormat(format);
    QJSValue items = m_js.newArray(ids.size());
    for (int i = 0; i < ids.size(); ++i) {
        QJSValue item = m_js.newObject();
        item.setProperty(QStringLiteral("id"), ids[i]);
        items.setProperty(i, item);
    }
    QJSValue result = m_engine.property(QStringLiteral("updateItems"))
                          .callWithInstance(m_engine, {m_js.toScriptValue(ids)});
    if (!failed(result, error))
        result = m_engine.property(QStringLiteral("makeCitationCluster"))
                     .callWithInstance(m_engine, {items});
    if (failed(result, error))
        return {};
    return result.toString();
}

QStringList Processor::takeNotices()
{
    return std::exchange(m_notices, {});
}

} // namespace quirelle::citation
