// The reference processor as the program runs it: the processor's own test suite of citations and
// bibliographies, styles and locales found and resolved, and errors that say what is wrong.
#include "citation/data/cslstyle.h"
#include "citation/data/processor.h"
#include "dbtestsupport.h"

#include <QDir>
#include <QDirIterator>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <thread>

using namespace quirelle;
using namespace quirelle::citation;

namespace {

// The sections of a test-suite fixture: ">>== NAME ==>>" … "<<== NAME ==<<".
QHash<QString, QString> sectionsOf(const QString& text)
{
    static const QRegularExpression section(
        QStringLiteral(R"(>>=+\s*([A-Z-]+)\s*=+>>\r?\n(.*?)\r?\n<<=+\s*\1\s*=+<<)"),
        QRegularExpression::DotMatchesEverythingOption);
    QHash<QString, QString> sections;
    for (const auto& match : section.globalMatch(text))
        sections.insert(match.captured(1), match.captured(2));
    return sections;
}

// Drives the processor's engine as its test suite prescribes: every item cited once when the
// fixture gives no citations, citations made one by one (the last one's changes marked ">>"),
// or the bibliography of every item.
const char* runner = R"JS(
(function (engine, mode, input, citationItems, citations) {
    var ids = input.map(function (item) { return "" + item.id; });
    var out = [];
    var result = [];
    if (!citations) {
        engine.updateItems(ids, null, null, true);
        if (!citationItems) {
            var all = [];
            for (var i = 0; i < engine.registry.reflist.length; i++)
                all.push({ id: engine.registry.reflist[i].id });
            citationItems = [all];
        }
        for (var i = 0; i < citationItems.length; i++)
            out.push(engine.makeCitationCluster(citationItems[i]));
    } else {
        for (var i = 0; i < citations.length - 1; i++)
            engine.processCitationCluster(citations[i][0], citations[i][1], citations[i][2]);
        var last = citations[citations.length - 1];
        result = engine.processCitationCluster(last[0], last[1], last[2])[1];
        var changed = {};
        for (var i = 0; i < result.length; i++)
            changed["" + result[i][0]] = result[i][1];
        var byIndex = engine.registry.citationreg.citationByIndex;
        for (var i = 0; i < byIndex.length; i++) {
            if (changed.hasOwnProperty("" + i))
                out.push(">>[" + i + "] " + changed["" + i]);
            else
                out.push("..[" + i + "] " + engine.process_CitationCluster.call(engine,
                    byIndex[i].sortedItems));
        }
    }
    if (mode === "bibliography") {
        var bibliography = engine.makeBibliography();
        return bibliography[0].bibstart + bibliography[1].join("") + bibliography[0].bibend;
    }
    return out.join("\n");
})
)JS";

} // namespace

class tst_Citeproc : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void testSuite();
    void stylesAndLocales();
    void errorsSayWhatIsWrong();

private:
    QString m_suite;
};

void tst_Citeproc::initTestCase()
{
    if (Processor::scriptPath().isEmpty())
        QSKIP("citeproc.js is not installed (scripts/install-deps fetches it)");
    m_suite = test::sharedFolder(QStringLiteral("csl-test-suite"));
}

void tst_Citeproc::testSuite()
{
    if (m_suite.isEmpty())
        QSKIP("the shared test data is not beside the project");
    // The fixtures were written against the locales beside them: the processor reads them as the
    // user's own, from the working folder.
    const QString before = QDir::currentPath();
    QDir::setCurrent(m_suite);
    auto restore = qScopeGuard([&] { QDir::setCurrent(before); });

    Processor processor;
    QString error;
    QVERIFY2(processor.load(&error), qPrintable(error));
    const QJSValue run = processor.script().evaluate(QString::fromLatin1(runner));
    QStringList failures;
    int tried = 0;
    QDirIterator it(m_suite + QStringLiteral("/processor-tests/humans"), {QStringLiteral("*.txt")},
                    QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const auto sections = sectionsOf(QString::fromUtf8(test::readFile(path)));
        const QString mode = sections.value(QStringLiteral("MODE")).trimmed();
        if (mode != u"citation" && mode != u"bibliography")
            continue;
        ++tried;
        const QString name = QFileInfo(path).completeBaseName();
        auto json = xmlToJson(sections.value(QStringLiteral("CSL")).toUtf8(), &error);
        if (!json) {
            failures << name + QStringLiteral(": ") + error;
            continue;
        }
        const QJsonArray input =
            QJsonDocument::fromJson(sections.value(QStringLiteral("INPUT")).toUtf8()).array();
        processor.setItems(input);
        Style style{name, {}, {}, *json};
        style.defaultLocale = json->value(QStringLiteral("attrs"))
                                  .toObject()
                                  .value(QStringLiteral("default-locale"))
                                  .toString();
        if (!processor.setStyle(style, {}, &error)) {
            failures << name + QStringLiteral(": ") + error;
            continue;
        }
        processor.bibliography({}, OutputFormat::Html, &error); // sets the output format
        auto jsonOf = [&](const QString& section) {
            const QString text = sections.value(section);
            return text.isEmpty() ? QJSValue(QJSValue::NullValue)
                                  : processor.script().toScriptValue(
                                        QJsonDocument::fromJson(text.toUtf8()).array());
        };
        const QJSValue output = run.call(
            {processor.engine(), mode, processor.script().toScriptValue(input),
             jsonOf(QStringLiteral("CITATION-ITEMS")), jsonOf(QStringLiteral("CITATIONS"))});
        const QString expected = sections.value(QStringLiteral("RESULT"));
        if (output.isError())
            failures << name + QStringLiteral(": ") + output.toString();
        else if (output.toString().trimmed() != expected.trimmed())
            failures << name;
    }
    processor.takeNotices();
    const int passed = tried - int(failures.size());
    qInfo("%d of %d fixtures pass (%.1f%%); failing:\n%s", passed, tried, 100.0 * passed / tried,
          qPrintable(failures.join(QLatin1Char('\n'))));
    QVERIFY(tried > 600);
    QVERIFY2(passed * 100 >= tried * 95, "fewer than 95% of the fixtures pass");
}

// The user's own folder holds a newer APA, a dependent journal style that names it as its parent
// and asks for British English, and a file that is not a style.
void tst_Citeproc::stylesAndLocales()
{
    const QString styles = test::sharedFolder(QStringLiteral("csl-styles"));
    if (styles.isEmpty())
        QSKIP("the shared styles are not beside the project");
    QTemporaryDir data;
    const QString before = QDir::currentPath();
    QDir::setCurrent(data.path());
    auto restore = qScopeGuard([&] { QDir::setCurrent(before); });
    QDir().mkpath(QStringLiteral("styles"));
    QByteArray apa = test::readFile(styles + QStringLiteral("/apa.csl"));
    apa.replace("<title>", "<title>Local ");
    test::writeFile(QStringLiteral("styles/apa.csl"), apa);
    test::writeFile(QStringLiteral("styles/journal-of-fired-clay.csl"),
                    R"(<?xml version="1.0" encoding="utf-8"?>
<style xmlns="http://purl.org/net/xbiblio/csl" version="1.0" default-locale="en-GB">
  <info><title>Journal of Fired Clay</title><id>http://www.zotero.org/styles/journal-of-fired-clay</id>
    <link href="http://www.zotero.org/styles/apa" rel="independent-parent"/></info>
</style>)");

    const auto found = listStyles(QStringLiteral("of fired clay"));
    QCOMPARE(found.size(), size_t(1));
    QCOMPARE(found[0].title, QStringLiteral("Journal of Fired Clay"));
    QVERIFY(found[0].dependent);

    QString error;
    const auto style = loadStyle(QStringLiteral("journal-of-fired-clay"), &error);
    QVERIFY2(style, qPrintable(error));
    QCOMPARE(style->title, QStringLiteral("Journal of Fired Clay"));
    QCOMPARE(style->defaultLocale, QStringLiteral("en-GB"));

    Processor processor;
    QVERIFY2(processor.setStyle(*style, {}, &error), qPrintable(error));
    processor.setItems(QJsonDocument::fromJson(R"([
        {"id": "w", "type": "article-journal", "title": "Signals in clay",
         "author": [{"family": "Wendrake", "given": "Ilse"}],
         "issued": {"date-parts": [[2003]]}, "container-title": "Clay", "volume": "12"},
        {"id": "a", "type": "book", "title": "Anvils",
         "author": [{"family": "Abbot", "given": "Ned"}], "issued": {"date-parts": [[1999]]}}
    ])")
                           .array());
    const QStringList entries = processor.bibliography({}, OutputFormat::Text, &error);
    QCOMPARE(entries.size(), 2);
    QVERIFY2(entries[0].startsWith(QStringLiteral("Abbot, N. (1999).")), qPrintable(entries[0]));
    QVERIFY2(entries[1].contains(QStringLiteral("Signals in clay")), qPrintable(entries[1]));
    QCOMPARE(processor.citation({QStringLiteral("w")}, OutputFormat::Text, &error),
             QStringLiteral("(Wendrake, 2003)"));
    const QString html =
        processor.bibliography({QStringLiteral("w")}, OutputFormat::Html, &error).value(0);
    QVERIFY2(html.contains(QStringLiteral("<i>Clay</i>")), qPrintable(html));
    QVERIFY(processor.takeNotices().isEmpty());

    // A locale that is found nowhere: en-US, said once.
    QVERIFY(processor.setStyle(*style, QStringLiteral("xx-YY"), &error));
    QVERIFY(!processor.bibliography({}, OutputFormat::Text, &error).isEmpty());
    QVERIFY(processor.setStyle(*style, QStringLiteral("xx-YY"), &error));
    QCOMPARE(processor.takeNotices(),
             QStringList{QStringLiteral("The locale xx-YY was not found; en-US is used instead.")});
}

void tst_Citeproc::errorsSayWhatIsWrong()
{
    QTemporaryDir data;
    const QString broken = data.filePath(QStringLiteral("broken.csl"));
    test::writeFile(broken, "<style xmlns=\"http://purl.org/net/xbiblio/csl\"><info>");
    const QString notStyle = data.filePath(QStringLiteral("locale.csl"));
    test::writeFile(notStyle, "<locale xml:lang=\"en-US\"/>");
    const QString orphan = data.filePath(QStringLiteral("orphan.csl"));
    test::writeFile(orphan, R"(<style xmlns="http://purl.org/net/xbiblio/csl"><info>
        <link href="http://www.zotero.org/styles/no-such-parent" rel="independent-parent"/>
        </info></style>)");
    const QList<std::pair<QString, QString>> cases = {
        {broken, QStringLiteral("is not a valid CSL style: line 1")},
        {notStyle, QStringLiteral("is not a valid CSL style: it has no <style> element")},
        {orphan, QStringLiteral("depends on \"http://www.zotero.org/styles/no-such-parent\"")},
        {QStringLiteral("no-such-style-anywhere"),
         QStringLiteral("No citation style \"no-such-style-anywhere\" was found.")},
    };
    for (const auto& [file, message] : cases) {
        QString error;
        QVERIFY(!loadStyle(file, &error));
        QVERIFY2(error.contains(message), qPrintable(error));
    }
    Processor processor;
    QString error;
    QVERIFY(processor.bibliography({}, OutputFormat::Text, &error).isEmpty());
    QCOMPARE(error, QStringLiteral("No citation style is chosen."));

    // Work under way stops when another thread interrupts it (as the program does when it
    // ends), and later work fails at once.
    QVERIFY(processor.load(&error));
    std::thread stopper([&processor] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        processor.interrupt();
    });
    const QJSValue endless = processor.script().evaluate(QStringLiteral("for (;;) {}"));
    stopper.join();
    QVERIFY(endless.isError());
    QVERIFY(processor.script().evaluate(QStringLiteral("1 + 1")).isError());
}

QTEST_GUILESS_MAIN(tst_Citeproc)
#include "tst_citeproc.moc"
