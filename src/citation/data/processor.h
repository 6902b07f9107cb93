// The reference processor: the Citation Style Language's reference implementation, a JavaScript
// program run here in Qt's JavaScript engine. It is loaded once and keeps one style ready;
// references reach it as CSL-JSON items. Not thread-safe: one processor belongs to one thread.
#pragma once

#include "citation/data/cslstyle.h"

#include <QJSEngine>
#include <QJSValue>
#include <QJsonArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

namespace quirelle::citation {

enum class OutputFormat { Text, Html, Rtf };

class Processor final : public QObject
{
    Q_OBJECT

public:
    Processor();
    ~Processor() override;

    // The processor's script: `QUIRELLE_CITEPROC_JS` when set, else "citeproc.js" beside the
    // program or in its shared data folder; empty when none is found.
    static QString scriptPath();

    // Loads the script once; false, with `error` saying what to install, when it is missing or
    // does not run.
    bool load(QString* error);

    // Makes `style` the one references are formatted in, in `locale` (empty: the style's own
    // default, else en-US). A locale that is not found falls back to en-US, and `notices` says so
    // once.
    bool setStyle(const Style& style, const QString& locale, QString* error);
    const QString& styleName() const { return m_styleName; }

    // The items the next calls may cite, by their "id".
    void setItems(const QJsonArray& items);

    // The bibliography of the items `ids` (every item when empty), one entry each, sorted as the
    // style sorts.
    QStringList bibliography(const QStringList& ids, OutputFormat format, QString* error);
    // One in-text citation of the items `ids`.
    QString citation(const QStringList& ids, OutputFormat format, QString* error);

    // Stops the script where it is, and every later call at once; safe from any thread.
    void interrupt() { m_js.setInterrupted(true); }

    // What the user should know once: a locale replaced by en-US.
    QStringList takeNotices();

    // The script engine and the style's engine object, for callers that drive the processor's
    // own interface (its test suite's citations).
    QJSEngine& script() { return m_js; }
    QJSValue engine() const { return m_engine; }

    // Called by the processor for a locale; the JSON form, or en-US when it is not found.
    Q_INVOKABLE QJsonObject retrieveLocale(const QString& language);

private:
    bool failed(const QJSValue& result, QString* error);
    void useFormat(OutputFormat format);

    QJSEngine m_js;
    QJSValue m_csl;
    QJSValue m_sys;
    QJSValue m_engine;
    QString m_styleName;
    QStringList m_notices;
    QStringList m_missingLocales;
};

} // namespace quirelle::citation
