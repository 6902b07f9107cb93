// The Cite As window as the user uses it: from the paper window and from a search's results, a
// style found by typing part of its name, a preview in it, a copy that keeps the formatting, a
// bibliography saved as a file; and what it says without styles.
#include "citation/data/processor.h"
#include "citation/frmciteas.h"
#include "paper/frmviewpaper.h"
#include "search/frmsearchpapers.h"
#include "testsupport.h"

#include <QAction>
#include <QFileInfo>
#include <QLineEdit>
#include <QRadioButton>
#include <QTextBrowser>

using namespace quirelle;
using namespace quirelle::test;

class tst_CiteAs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        st::enable();
        if (citation::Processor::scriptPath().isEmpty())
            QSKIP("citeproc.js is not installed (scripts/install-deps fetches it)");
        m_styles = sharedFolder(QStringLiteral("csl-styles"));
        if (m_styles.isEmpty())
            QSKIP("the shared styles are not beside the project");
    }

    void citeFromPaperAndSearch()
    {
        Shell shell;
        // The user's own styles: APA under its file name, found before the system's.
        QDir().mkpath(shell.folder() + QStringLiteral("/styles"));
        QVERIFY(QFile::copy(m_styles + QStringLiteral("/apa.csl"),
                            shell.folder() + QStringLiteral("/styles/apa.csl")));
        QVERIFY(QFile::copy(m_styles + QStringLiteral("/ieee.csl"),
                            shell.folder() + QStringLiteral("/styles/ieee.csl")));
        const qint64 clay = addPaper(QStringLiteral("Signals in clay"),
                                     {{"Year", "2003"}, {"Publication Name", "Clay Review"}});
        linkAuthor(clay, addAuthor(QStringLiteral("Wendrake"), QStringLiteral("Jonas")));
        const qint64 stone = addPaper(QStringLiteral("Remembering stone"), {{"Year", "1999"}});
        linkAuthor(stone, addAuthor(QStringLiteral("Abbot"), QStringLiteral("Ned")));

        windows::openPaper(static_cast<qint32>(clay), windows::PaperOrigin::Search);
        click(control(frmViewPaper::instance(), QStringLiteral("cmdCiteAs")));
        frmCiteAs& cite = frmCiteAs::instance();
        auto* preview = control<QTextBrowser>(cite, QStringLiteral("txtPreview"));
        auto* styles = control<QListWidget>(cite, QStringLiteral("lstStyles"));
        auto* copy = control<QPushButton>(cite, QStringLiteral("cmdCopy"));
        QVERIFY(cite.isVisible());
        // APA is chosen until another style is used.
        QTRY_VERIFY_WITH_TIMEOUT(copy->isEnabled(), 120000);
        QCOMPARE(styles->currentItem()->toolTip(), QStringLiteral("apa"));
        QCOMPARE(preview->toPlainText(),
                 QStringLiteral("Wendrake, J. (2003). Signals in clay. Clay Review."));

        click(control(cite, QStringLiteral("optMode(1)")));
        QTRY_VERIFY_WITH_TIMEOUT(copy->isEnabled(), 120000);
        QCOMPARE(preview->toPlainText(), QStringLiteral("(Wendrake, 2003)"));
        click(copy);
        QCOMPARE(st::clipboard(), QStringLiteral("(Wendrake, 2003)"));
        QCOMPARE(st::clipboardHtml(), QStringLiteral("(Wendrake, 2003)"));

        // Typing part of a name leaves the matching styles; the first is chosen.
        typeKeys(control<QLineEdit>(cite, QStringLiteral("txtFilter")), QStringLiteral("ieee"));
        QVERIFY(!styles->currentItem()->isHidden());
        QCOMPARE(styles->currentItem()->toolTip(), QStringLiteral("ieee"));
        QTRY_VERIFY_WITH_TIMEOUT(copy->isEnabled(), 120000);
        QCOMPARE(preview->toPlainText(), QStringLiteral("[1]"));
        click(control(cite, QStringLiteral("optMode(0)")));
        QTRY_VERIFY_WITH_TIMEOUT(copy->isEnabled(), 120000);
        click(copy);
        QCOMPARE(st::clipboard(),
                 QStringLiteral("[1] J. Wendrake, “Signals in clay.” Clay Review, 2003."));
        QVERIFY2(st::clipboardHtml().contains(QStringLiteral("csl-entry")),
                 qPrintable(st::clipboardHtml()));
        click(control(cite, QStringLiteral("cmdClose")));

        // The search's papers as a bibliography, sorted as the style sorts, saved as files.
        fromMenu("mnuSearch");
        frmSearchPapers& search = frmSearchPapers::instance();
        click(control<QRadioButton>(search, QStringLiteral("optSearch(0)")));
        typeKeys(control<QComboBox>(search, QStringLiteral("cmbSearchCriteria")),
                 QStringLiteral("*\n"));
        QCOMPARE(lines(control<QListWidget>(search, QStringLiteral("lstOptions"))).size(), 2);
        control<QAction>(search, QStringLiteral("mnuCopyBibliography"))->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(copy->isEnabled(), 120000);
        QCOMPARE(styles->currentItem()->toolTip(), QStringLiteral("ieee")); // the last one used
        replaceText(control<QLineEdit>(cite, QStringLiteral("txtFilter")), QStringLiteral("APA"));
        QTRY_COMPARE(styles->currentItem()->toolTip(), QStringLiteral("apa"));
        QTRY_VERIFY_WITH_TIMEOUT(copy->isEnabled(), 120000);
        QCOMPARE(preview->toPlainText(),
                 QStringLiteral("Abbot, N. (1999). Remembering stone.\n"
                                "Wendrake, J. (2003). Signals in clay. Clay Review."));
        for (const char* name : {"refs.txt", "refs.html", "refs.rtf"}) {
            const QString file = shell.folder() + QLatin1Char('/') + QLatin1String(name);
            st::setNextFileName(file);
            click(control(cite, QStringLiteral("cmdSave")));
            QTRY_VERIFY(QFileInfo::exists(file));
            const QByteArray text = readFile(file);
            QVERIFY2(text.indexOf("Abbot") < text.indexOf("Wendrake"), text.constData());
        }
        QVERIFY(readFile(shell.folder() + "/refs.html").startsWith("<!DOCTYPE html>"));
        QVERIFY(readFile(shell.folder() + "/refs.rtf").startsWith("{\\rtf1"));
        QVERIFY(st::messages().empty());
    }

private:
    QString m_styles;
};

QTEST_MAIN(tst_CiteAs)
#include "tst_citeas.moc"
