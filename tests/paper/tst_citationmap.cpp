// The citation map, opened from the Tools menu: what it draws around the paper on screen, the
// choice of a paper when there is none, the second level, the hand-over to the paper window,
// re-centring, zoom and pan, a paper with 300 citations, and the picture saved as PNG and SVG.
#include "app/frmmain.h"
#include "app/frmmenu.h"
#include "paper/frmcitationmap.h"
#include "paperwindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGraphicsPathItem>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QSvgRenderer>

using namespace quirelle;
using namespace quirelle::test;

namespace {

// The small project of every test: paper C (by Smith and Jones, 2001) cites R1 (Smith's too)
// and R2, and is cited by X1, X2 and X3; R1 cites Z, which is one level further.
struct Papers
{
    qint64 c, r1, r2, x1, x2, x3, z;
};

Papers smallProject()
{
    Papers p{};
    p.c = addPaper("Citation maps", {{"Year", "2001"}});
    p.r1 = addPaper("First reference", {{"Year", "1999"}});
    p.r2 = addPaper("Second reference", {{"Year", "1995"}});
    p.x1 = addPaper("First citing", {{"Year", "2003"}});
    p.x2 = addPaper("Second citing", {{"Year", "2004"}});
    p.x3 = addPaper("Third citing");
    p.z = addPaper("Further out", {{"Year", "1980"}});
    const qint64 smith = addAuthor("Smith", "Ann");
    linkAuthor(p.c, smith);
    linkAuthor(p.c, addAuthor("Jones", "Bob"));
    linkAuthor(p.r1, smith);
    linkAuthor(p.x1, addAuthor("Brown", "Cy"));
    cite(p.c, p.r1);
    cite(p.c, p.r2);
    cite(p.x1, p.c);
    cite(p.x2, p.c);
    cite(p.x3, p.c);
    cite(p.r1, p.z);
    return p;
}

QWidget* mapWindow()
{
    return frmMain::instance().findChild<QWidget*>(QStringLiteral("frmCitationMap"));
}

template<class T>
T* control(const char* name)
{
    return mapWindow()->findChild<T*>(QString::fromLatin1(name));
}

MapView* view()
{
    return control<MapView>("viewMap");
}

void openMap()
{
    // Room for the map window in the main window.
    frmMain::instance().resize(1200, 900);
    frmMain::instance().findChild<QAction*>(QStringLiteral("mnuCitationMap"))->trigger();
    settle();
}

std::vector<MapNode*> nodes()
{
    std::vector<MapNode*> out;
    for (QGraphicsItem* item : view()->scene()->items(Qt::AscendingOrder)) {
        if (item->type() == MapNode::Type)
            out.push_back(static_cast<MapNode*>(item));
    }
    return out;
}

QStringList labels()
{
    QStringList out;
    for (MapNode* n : nodes())
        out << n->label() + (n->marked() ? QStringLiteral(" *") : QString());
    out.sort();
    return out;
}

MapNode* node(const QString& label)
{
    for (MapNode* n : nodes()) {
        if (n->label() == label)
            return n;
    }
    return nullptr;
}

// The single lines of citations drawn (a broad arrow for a block counts apart).
int lineCount()
{
    int n = 0;
    for (QGraphicsItem* item : view()->scene()->items()) {
        if (item->type() == QGraphicsPathItem::Type && item->data(0).isValid())
            ++n;
    }
    return n;
}

QPoint onScreen(MapNode* n)
{
    view()->centerOn(n);
    return view()->mapFromScene(n->sceneBoundingRect().center());
}

} // namespace

class TstCitationMap : public QObject
{
    Q_OBJECT

private slots:
    void centredOnThePaperOnScreen()
    {
        Shell shell;
        const Papers p = smallProject();
        openPaper(p.c);
        openMap();
        QVERIFY(mapWindow()->isVisible());
        QCOMPARE(frmCitationMap::instance().centre(), std::optional<qint32>(p.c));
        QCOMPARE(control<QComboBox>("cmbCentre")->currentText(), line(p.c, "Citation maps"));
        QCOMPARE(labels(), QStringList({"Anon. 1995", "Anon. 2004", "Anon. n.d.", "Brown 2003",
                                        "Smith 1999 *", "Smith 2001"}));
        QCOMPARE(node("Smith 2001")->look(), MapNode::Look::Centre);
        QCOMPARE(node("Smith 1999")->toolTip(),
                 QStringLiteral("First reference\n(shares an author with the paper in the "
                                "centre)"));
        QCOMPARE(node("Brown 2003")->toolTip(), QStringLiteral("First citing"));
        QCOMPARE(lineCount(), 5);
        // References on the left of the centre, citations on its right.
        const double middle = node("Smith 2001")->sceneBoundingRect().center().x();
        QVERIFY(node("Anon. 1995")->sceneBoundingRect().right() < middle);
        QVERIFY(node("Brown 2003")->sceneBoundingRect().left() > middle);
        QCOMPARE(control<QLabel>("lblSummary")->text(),
                 QStringLiteral("Smith 2001 references 2 papers and is cited by 3 papers"));

        // One level further on request, and back.
        QTest::mouseClick(control<QCheckBox>("chkSecondLevel"), Qt::LeftButton);
        settle();
        QCOMPARE(nodes().size(), size_t(7));
        QVERIFY(node("Anon. 1980"));
        QCOMPARE(node("Anon. 1980")->look(), MapNode::Look::SecondLevel);
        QCOMPARE(lineCount(), 6);
        QTest::mouseClick(control<QCheckBox>("chkSecondLevel"), Qt::LeftButton);
        settle();
        QCOMPARE(nodes().size(), size_t(6));

        // The picture, as a PNG image as large as the map and as an SVG drawing of its texts.
        for (const char* name : {"map.png", "map.svg"}) {
            services::testing::setNextFileName(shell.folder() + '/' + name);
            QTest::mouseClick(control<QPushButton>("cmdSavePicture"), Qt::LeftButton);
        }
        QVERIFY(services::testing::messages().empty());
        const QSizeF scene = view()->scene()->sceneRect().size();
        QCOMPARE(QImage(shell.folder() + "/map.png").size(),
                 QSize(qCeil(scene.width()), qCeil(scene.height())));
        QSvgRenderer svg(shell.folder() + "/map.svg");
        QVERIFY(svg.isValid());
        QFile drawing(shell.folder() + "/map.svg");
        QVERIFY(drawing.open(QIODevice::ReadOnly));
        const QByteArray text = drawing.readAll();
        for (const char* label : {">Smith 2001<", ">Brown 2003<", ">Citation maps<"})
            QVERIFY2(text.contains(label), label);

        QTest::mouseClick(control<QPushButton>("cmdBack"), Qt::LeftButton);
        QVERIFY(!mapWindow()->isVisible());
    }

    void chosenFromTheList_data()
    {
        QTest::addColumn<int>("paperWindow"); // 0: never opened, 1: on a new paper
        QTest::addColumn<QString>("typed");   // "": the line is clicked in the list
        QTest::addColumn<QString>("centre");  // label of the centre; "": none
        QTest::newRow("typed number") << 0 << "1"
                                      << "Smith 2001";
        QTest::newRow("typed line, new paper on screen") << 1 << "2 : First reference"
                                                         << "Smith 1999";
        QTest::newRow("picked from the list") << 0 << ""
                                              << "Anon. 1995";
        QTest::newRow("no such paper") << 0 << "999"
                                       << "";
    }
    void chosenFromTheList()
    {
        QFETCH(int, paperWindow);
        QFETCH(QString, typed);
        QFETCH(QString, centre);
        Shell shell;
        smallProject();
        if (paperWindow == 1)
            windows::openPaper(0, windows::PaperOrigin::NewPaper);
        const bool panelEnabled = frmMenu::instance().isEnabled();
        openMap();
        QVERIFY(!frmCitationMap::instance().centre());
        QVERIFY(nodes().empty());
        QVERIFY(!control<QPushButton>("cmdSavePicture")->isEnabled());
        QComboBox* combo = control<QComboBox>("cmbCentre");
        QCOMPARE(QApplication::focusWidget(), combo);
        // The papers by title.
        QCOMPARE(combo->count(), 7);
        QCOMPARE(combo->itemText(0), QStringLiteral("1 : Citation maps"));
        QCOMPARE(combo->itemText(6), QStringLiteral("6 : Third citing"));
        if (typed.isEmpty()) {
            combo->showPopup();
            settle();
            QAbstractItemView* list = combo->view();
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                              list->visualRect(list->model()->index(5, 0)).center());
            settle();
        } else {
            QTest::keyClicks(QApplication::focusWidget(), typed);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            settle();
        }
        if (centre.isEmpty()) {
            QVERIFY(nodes().empty());
            QCOMPARE(control<QLabel>("lblSummary")->text(),
                     QStringLiteral("Paper 999 is not in the project."));
        } else {
            QVERIFY(node(centre));
            QCOMPARE(node(centre)->look(), MapNode::Look::Centre);
            QVERIFY(control<QPushButton>("cmdSavePicture")->isEnabled());
        }
        // The map leaves the options panel as it found it.
        QCOMPARE(frmMenu::instance().isEnabled(), panelEnabled);
    }

    void doubleClickOpensThePaper()
    {
        Shell shell;
        const Papers p = smallProject();
        openPaper(p.c);
        openMap();
        QTest::mouseDClick(view()->viewport(), Qt::LeftButton, {}, onScreen(node("Brown 2003")));
        settle();
        QVERIFY(!mapWindow()->isVisible());
        QVERIFY(win().isShown());
        QCOMPARE(win().currentPaperID(), static_cast<qint32>(p.x1));
        QCOMPARE(detail(0), QStringLiteral("First citing"));
        QCOMPARE(tabs()->currentIndex(), 4); // "Summary", as from the search
        // Opened again, the map is about the paper now on screen.
        openMap();
        QCOMPARE(frmCitationMap::instance().centre(), std::optional<qint32>(p.x1));
        QCOMPARE(labels(), QStringList({"Brown 2003", "Smith 2001"}));
    }

    void recentre()
    {
        Shell shell;
        const Papers p = smallProject();
        openPaper(p.c);
        openMap();
        QPushButton* button = control<QPushButton>("cmdRecentre");
        QVERIFY(!button->isEnabled());
        // The centre itself is no paper to move to.
        QTest::mouseClick(view()->viewport(), Qt::LeftButton, {}, onScreen(node("Smith 2001")));
        QVERIFY(!button->isEnabled());
        QTest::mouseClick(view()->viewport(), Qt::LeftButton, {}, onScreen(node("Smith 1999")));
        QVERIFY(button->isEnabled());
        QTest::mouseClick(button, Qt::LeftButton);
        settle();
        QCOMPARE(frmCitationMap::instance().centre(), std::optional<qint32>(p.r1));
        QCOMPARE(labels(), QStringList({"Anon. 1980", "Smith 1999", "Smith 2001 *"}));
        QCOMPARE(control<QComboBox>("cmbCentre")->currentText(), line(p.r1, "First reference"));

        // The context menu of a paper.
        const auto menuAction = [](const QString& label, const char* action) {
            const QPoint at = onScreen(node(label));
            QContextMenuEvent event(QContextMenuEvent::Mouse, at,
                                    view()->viewport()->mapToGlobal(at));
            QApplication::sendEvent(view()->viewport(), &event);
            auto* menu = view()->findChild<QMenu*>(QStringLiteral("mnuMapNode"));
            QVERIFY(menu);
            menu->findChild<QAction*>(QString::fromLatin1(action))->trigger();
            menu->close();
            settle();
        };
        menuAction(QStringLiteral("Smith 2001"), "mnuCentreHere");
        QCOMPARE(frmCitationMap::instance().centre(), std::optional<qint32>(p.c));
        QCOMPARE(nodes().size(), size_t(6));
    }

    void zoomAndPan()
    {
        Shell shell;
        const Papers p = smallProject();
        openPaper(p.c);
        openMap();
        QWidget* port = view()->viewport();
        const double before = view()->transform().m11();
        const auto wheel = [&](int delta) {
            const QPointF at(port->width() / 2.0, port->height() / 2.0);
            QWheelEvent event(at, port->mapToGlobal(at), {}, {0, delta}, Qt::NoButton, {},
                              Qt::NoScrollPhase, false);
            QApplication::sendEvent(port, &event);
        };
        wheel(240);
        QVERIFY(view()->transform().m11() > before * 1.3);
        wheel(-240);
        QVERIFY(qAbs(view()->transform().m11() - before) < 1e-9);
        for (int i = 0; i < 30; ++i)
            wheel(480); // no further than the largest scale
        QCOMPARE(view()->transform().m11(), 8.0);

        // Dragging the background moves the map.
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
    }

    void threeHundredCitations()
    {
        Shell shell;
        const qint64 c = addPaper("Much cited", {{"Year", "1990"}});
        {
            db::Transaction adding(shell.db());
            db::Recordset papers =
                shell.db().OpenRecordset(QStringLiteral("select * from [Papers];"));
            db::Recordset links =
                shell.db().OpenRecordset(QStringLiteral("select * from [Paper References List];"));
            for (int i = 0; i < 300; ++i) {
                papers.AddNew();
                papers.Fields(QStringLiteral("Title")) = QStringLiteral("Citing %1").arg(i);
                papers.Fields(QStringLiteral("Year")) = QString::number(1991 + i % 30);
                papers.Update();
                papers.setBookmark(papers.LastModified());
                links.AddNew();
                links.Fields(QStringLiteral("Paper ID")) =
                    papers.Fields(QStringLiteral("Paper ID")).text();
                links.Fields(QStringLiteral("Reference ID")) = c;
                links.Update();
            }
            adding.commit();
        }
        openPaper(c);
        openMap();
        QCOMPARE(nodes().size(), size_t(301));
        // The centre's 300 citations are one broad arrow, not 300 lines.
        QCOMPARE(lineCount(), 0);
        int arrows = 0;
        for (QGraphicsItem* item : view()->scene()->items())
            arrows += item->data(2).toInt() == 300;
        QCOMPARE(arrows, 1);
        // Opened at a scale at which the labels can still be read.
        QVERIFY(view()->transform().m11() >= 0.6);
    }
};

QTEST_MAIN(TstCitationMap)
#include "tst_citationmap.moc"
