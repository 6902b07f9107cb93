// The citation map from the Tools menu: what it draws, the paper chosen when none is on screen,
// re-centring, zoom and pan, the hand-over to the paper window, 300 citations, PNG and SVG.
#include "paper/frmcitationmap.h"
#include "paperwindow.h"

#include <QCheckBox>
#include <QGraphicsPathItem>
#include <QMenu>
#include <QScrollBar>
#include <QSvgRenderer>

using namespace quirelle;
using namespace quirelle::test;

namespace {

// The small project of every test, its papers numbered as added: C (by Smith and Jones, 2001)
// cites R1 (Smith's too) and R2, and is cited by X1, X2 and X3; R1 cites Z, one level further.
constexpr qint32 C = 1, R1 = 2, R2 = 3, X1 = 4, X2 = 5, X3 = 6, Z = 7;

void smallProject()
{
    for (const char* paper :
         {"Citation maps|2001", "First reference|1999", "Second reference|1995",
          "First citing|2003", "Second citing|2004", "Third citing|", "Further out|1980"})
        addPaper(QString(paper).section('|', 0, 0), {{"Year", QString(paper).section('|', 1)}});
    const qint64 smith = addAuthor("Smith", "Ann");
    linkAuthor(C, smith);
    linkAuthor(C, addAuthor("Jones", "Bob"));
    linkAuthor(R1, smith);
    linkAuthor(X1, addAuthor("Brown", "Cy"));
    for (auto [citing, cited] : {std::pair{C, R1}, {C, R2}, {X1, C}, {X2, C}, {X3, C}, {R1, Z}})
        cite(citing, cited);
}

} // namespace

class TstCitationMap : public PaperWindowTest
{
    Q_OBJECT

    static frmCitationMap& map() { return frmCitationMap::instance(); }
    template<class T>
    static T* mapControl(const char* name)
    {
        return control<T>(map(), QString::fromLatin1(name));
    }
    static MapView* view() { return mapControl<MapView>("viewMap"); }
    static std::optional<qint32> centre() { return map().centre(); }
    static void openMap()
    {
        frmMain::instance().resize(1200, 900); // room for the map window in the main window
        fromMenu("mnuCitationMap");
    }
    static std::vector<MapNode*> nodes()
    {
        std::vector<MapNode*> out;
        for (QGraphicsItem* item : view()->scene()->items(Qt::AscendingOrder))
            if (auto* n = qgraphicsitem_cast<MapNode*>(item))
                out.push_back(n);
        return out;
    }
    static QStringList labels()
    {
        QStringList out;
        for (MapNode* n : nodes())
            out << n->label() + (n->marked() ? QStringLiteral(" *") : QString());
        out.sort();
        return out;
    }
    static MapNode* node(const QString& label)
    {
        for (MapNode* n : nodes())
            if (n->label() == label)
                return n;
        return nullptr;
    }
    // The single lines of citations drawn (a broad arrow for a block counts apart).
    static qsizetype lineCount()
    {
        return std::ranges::count_if(view()->scene()->items(), [](QGraphicsItem* item) {
            return item->type() == QGraphicsPathItem::Type && item->data(0).isValid();
        });
    }
    static QPoint onScreen(const QString& label)
    {
        view()->centerOn(node(label));
        return view()->mapFromScene(node(label)->sceneBoundingRect().center());
    }
    static void clickNode(const QString& label)
    {
        QTest::mouseClick(view()->viewport(), Qt::LeftButton, {}, onScreen(label));
        settle();
    }

private slots:
    // With no paper on screen, or a new one, the map waits for a paper chosen from the list of
    // titles: typed as a number or a line, or clicked. Then what it draws, one level more, the
    // pictures, re-centring, zoom and pan, and the hand-over to the paper window.
    void journey()
    {
        Shell shell;
        smallProject();
        openMap();
        QComboBox* papers = mapControl<QComboBox>("cmbCentre");
        QVERIFY(!centre());
        QVERIFY(nodes().empty());
        QVERIFY(!mapControl<QPushButton>("cmdSavePicture")->isEnabled());
        QCOMPARE(QApplication::focusWidget(), papers);
        QCOMPARE(papers->count(), 7);
        typeKeys(papers, QStringLiteral("999\n"));
        QVERIFY(nodes().empty());
        QCOMPARE(mapControl<QLabel>("lblSummary")->text(), "Paper 999 is not in the project.");
        replaceText(papers, QStringLiteral("2 : First reference\n"));
        QCOMPARE(centre(), std::optional<qint32>(R1));
        QVERIFY(mapControl<QPushButton>("cmdSavePicture")->isEnabled());
        QVERIFY(frmMenu::instance().isEnabled()); // the map leaves the options panel as it was
        click(mapControl<QPushButton>("cmdBack"));
        windows::openPaper(0, windows::PaperOrigin::NewPaper);
        openMap();
        QVERIFY(!centre());
        QCOMPARE(papers->currentText(), QString());
        QCOMPARE(QApplication::focusWidget(), papers);
        papers->showPopup();
        settle();
        QAbstractItemView* list = papers->view();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualRect(list->model()->index(5, 0)).center());
        settle();
        QCOMPARE(centre(), std::optional<qint32>(R2));
        QVERIFY(!frmMenu::instance().isEnabled());
        replaceText(papers, QStringLiteral("1\n"));
        QCOMPARE(centre(), std::optional<qint32>(C));
        QCOMPARE(papers->currentText(), line(C, "Citation maps"));
        QCOMPARE(labels(), QStringList({"Anon. 1995", "Anon. 2004", "Anon. n.d.", "Brown 2003",
                                        "Smith 1999 *", "Smith 2001"}));
        QCOMPARE(node("Smith 2001")->look(), MapNode::Look::Centre);
        QCOMPARE(node("Smith 1999")->toolTip(),
                 QStringLiteral("First reference\n(shares an author with the paper in the "
                                "centre)"));
        QCOMPARE(node("Brown 2003")->toolTip(), "First citing");
        QCOMPARE(lineCount(), 5);
        // References on the left of the centre, citations on its right.
        const double middle = node("Smith 2001")->sceneBoundingRect().center().x();
        QVERIFY(node("Anon. 1995")->sceneBoundingRect().right() < middle);
        QVERIFY(node("Brown 2003")->sceneBoundingRect().left() > middle);
        QCOMPARE(mapControl<QLabel>("lblSummary")->text(),
                 "Smith 2001 references 2 papers and is cited by 3 papers");
        // One level further on request, and back.
        QTest::mouseClick(mapControl<QCheckBox>("chkSecondLevel"), Qt::LeftButton);
        settle();
        QCOMPARE(nodes().size(), size_t(7));
        QCOMPARE(node("Anon. 1980")->look(), MapNode::Look::SecondLevel);
        QCOMPARE(lineCount(), 6);
        QTest::mouseClick(mapControl<QCheckBox>("chkSecondLevel"), Qt::LeftButton);
        settle();
        QCOMPARE(nodes().size(), size_t(6));
        // The picture, as a PNG image as large as the map and as an SVG drawing of its texts.
        for (const char* name : {"map.png", "map.svg"}) {
            st::setNextFileName(shell.folder() + '/' + name);
            click(mapControl<QPushButton>("cmdSavePicture"));
        }
        QVERIFY(st::messages().empty());
        const QSizeF scene = view()->scene()->sceneRect().size();
        QCOMPARE(QImage(shell.folder() + "/map.png").size(),
                 QSize(qCeil(scene.width()), qCeil(scene.height())));
        QVERIFY(QSvgRenderer(shell.folder() + "/map.svg").isValid());
        const QByteArray svg = readFile(shell.folder() + "/map.svg");
        for (const char* label : {">Smith 2001<", ">Brown 2003<", ">Citation maps<"})
            QVERIFY2(svg.contains(label), label);
        // Re-centred on a clicked paper (the centre itself is no paper to move to), and back by
        // a paper's context menu.
        QPushButton* recentre = mapControl<QPushButton>("cmdRecentre");
        QVERIFY(!recentre->isEnabled());
        clickNode("Smith 2001");
        QVERIFY(!recentre->isEnabled());
        clickNode("Smith 1999");
        click(recentre);
        QCOMPARE(centre(), std::optional<qint32>(R1));
        QCOMPARE(labels(), QStringList({"Anon. 1980", "Smith 1999", "Smith 2001 *"}));
        QCOMPARE(papers->currentText(), line(R1, "First reference"));
        const QPoint at = onScreen("Smith 2001");
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, view()->viewport()->mapToGlobal(at));
        QApplication::sendEvent(view()->viewport(), &event);
        auto* menu = view()->findChild<QMenu*>(QStringLiteral("mnuMapNode"));
        QVERIFY(menu);
        menu->findChild<QAction*>(QStringLiteral("mnuCentreHere"))->trigger();
        menu->close();
        settle();
        QCOMPARE(centre(), std::optional<qint32>(C));
        QCOMPARE(nodes().size(), size_t(6));
        // The wheel zooms, no further than the largest scale; dragging the background pans.
        QWidget* port = view()->viewport();
        const double before = view()->transform().m11();
        const auto wheel = [&](int delta) {
            const QPointF mid(port->width() / 2.0, port->height() / 2.0);
            QWheelEvent e(mid, port->mapToGlobal(mid), {}, {0, delta}, Qt::NoButton, {},
                          Qt::NoScrollPhase, false);
            QApplication::sendEvent(port, &e);
        };
        wheel(240);
        QVERIFY(view()->transform().m11() > before * 1.3);
        wheel(-240);
        QVERIFY(qAbs(view()->transform().m11() - before) < 1e-9);
        for (int i = 0; i < 30; ++i)
            wheel(480);
        QCOMPARE(view()->transform().m11(), 8.0);
        QScrollBar* bar = view()->horizontalScrollBar();
        const int start = bar->value();
        const QPoint from(5, 5);
        QVERIFY(!view()->nodeAt(from));
        QTest::mousePress(port, Qt::LeftButton, {}, from);
        QMouseEvent move(QEvent::MouseMove, QPointF(from + QPoint(120, 0)),
                         QPointF(port->mapToGlobal(from + QPoint(120, 0))), Qt::NoButton,
                         Qt::LeftButton, {});
        QApplication::sendEvent(port, &move);
        QTest::mouseRelease(port, Qt::LeftButton, {}, from + QPoint(120, 0));
        QCOMPARE(bar->value(), start - 120);
        // A double-click hands the paper over to the paper window, on its summary as from the
        // search.
        QTest::mouseDClick(view()->viewport(), Qt::LeftButton, {}, onScreen("Brown 2003"));
        settle();
        QVERIFY(!map().isVisible());
        QVERIFY(win().isShown());
        QCOMPARE(shownPaper(), X1);
        QCOMPARE(detail(0), "First citing");
        QCOMPARE(tabs()->currentIndex(), 4);
        // Opened again, the map is about the paper on screen; its 300 citations are one
        // broad arrow, not 300 lines, at a scale at which the labels can still be read.
        {
            db::Transaction adding(shell.db());
            for (int i = 0; i < 300; ++i)
                cite(addPaper(QStringLiteral("Citing %1").arg(i), {{"Year", "1991"}}), X1);
            adding.commit();
        }
        openMap();
        QCOMPARE(centre(), std::optional<qint32>(X1));
        QCOMPARE(nodes().size(), size_t(302));
        QCOMPARE(lineCount(), 1);
        QCOMPARE(std::ranges::count_if(view()->scene()->items(),
                                       [](QGraphicsItem* item) { return item->data(2) == 300; }),
                 1);
        QVERIFY(view()->transform().m11() >= 0.6 && view()->transform().m11() <= 1);
        click(mapControl<QPushButton>("cmdBack"));
        QVERIFY(!map().isVisible());
    }

    // While another program holds the file, a paper chosen, one level more or a double-click
    // each say so, and the map stays as it was, on screen.
    void heldFileLeavesTheMapAsItWas()
    {
        Shell shell;
        smallProject();
        openMap();
        QComboBox* papers = mapControl<QComboBox>("cmbCentre");
        replaceText(papers, QStringLiteral("1\n"));
        const QStringList shown = labels();
        HeldFile holder(shell.file());
        if (!holder.isHeld())
            QSKIP("the sqlite3 shell is not installed");
        replaceText(papers, QStringLiteral("2\n"));
        QTest::mouseClick(mapControl<QCheckBox>("chkSecondLevel"), Qt::LeftButton);
        settle();
        QTest::mouseDClick(view()->viewport(), Qt::LeftButton, {}, onScreen("Brown 2003"));
        settle();
        QVERIFY(prompts().size() >= 3);
        for (const QString& said : prompts())
            QVERIFY2(said.contains(QStringLiteral("in use by another program")), qPrintable(said));
        QCOMPARE(centre(), std::optional<qint32>(C));
        QVERIFY(!mapControl<QCheckBox>("chkSecondLevel")->isChecked());
        QCOMPARE(labels(), shown);
        QVERIFY(map().isVisible());
        QVERIFY(!win().isShown());
        holder.release();
        replaceText(papers, QStringLiteral("2\n"));
        QCOMPARE(centre(), std::optional<qint32>(R1));
    }
};

QTEST_MAIN(TstCitationMap)
#include "tst_citationmap.moc"
