// The citation map.
#include "paper/frmcitationmap.h"

#include "app/listviews.h"
#include "app/picturefile.h"
#include "app/services.h"
#include "app/windows.h"
#include "db/project.h"
#include "paper/data/citationlayout.h"
#include "paper/frmviewpaper.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QGraphicsPathItem>
#include <QGraphicsScene>
#include <QGraphicsSimpleTextItem>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPainter>
#include <QPushButton>
#include <QStringListModel>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <unordered_set>

namespace quirelle {

namespace {

using citations::Side;

// Below this the labels can no longer be read: the map opens no smaller.
constexpr double ReadableScale = 0.6;
// A saved picture is at most this many pixels across, however large the map.
constexpr double LargestPicture = 8000;

constexpr QRgb nearLine = 0xff5a5a5a;
constexpr QRgb farLine = 0xffafafaf;

QFont centreFont(QFont font)
{
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.2);
    return font;
}

QFont headingFont(QFont font)
{
    font.setBold(true);
    return font;
}

// The line of a citation from the citing box to the cited box, between their nearest sides.
QLineF citationLine(const QRectF& from, const QRectF& to)
{
    if (from.right() <= to.left())
        return {QPointF(from.right(), from.center().y()), QPointF(to.left(), to.center().y())};
    if (to.right() <= from.left())
        return {QPointF(from.left(), from.center().y()), QPointF(to.right(), to.center().y())};
    if (from.bottom() <= to.top())
        return {QPointF(from.center().x(), from.bottom()), QPointF(to.center().x(), to.top())};
    return {QPointF(from.center().x(), from.top()), QPointF(to.center().x(), to.bottom())};
}

// The line with an arrow head `head` long at the cited end.
QPainterPath arrow(const QLineF& line, double head)
{
    QPainterPath path(line.p1());
    path.lineTo(line.p2());
    if (line.length() > 0) {
        for (double turn : {155.0, -155.0}) {
            QLineF barb = QLineF::fromPolar(head, line.angle() + turn);
            barb.translate(line.p2());
            path.moveTo(line.p2());
            path.lineTo(barb.p2());
        }
    }
    return path;
}

QString headingText(const citations::Block& block)
{
    if (block.level == 2)
        return QStringLiteral("One level further (%1)").arg(block.count);
    return (block.side == Side::References ? QStringLiteral("References (%1)")
                                           : QStringLiteral("Cited by (%1)"))
        .arg(block.count);
}

QString papers(int n)
{
    return n == 1 ? QStringLiteral("1 paper") : QStringLiteral("%1 papers").arg(n);
}

} // namespace

// ---- The window ----

frmCitationMap::frmCitationMap()
    : Form(QStringLiteral("frmCitationMap"), 11400, 7800), m_lines(new QStringListModel(this))
{
    setCaption(QStringLiteral("Citation Map"));

    auto* label = new QLabel(QStringLiteral("&Paper:"), this);
    label->setObjectName(QStringLiteral("lblCentre"));
    cmbCentre = new WideCombo(this);
    cmbCentre->setObjectName(QStringLiteral("cmbCentre"));
    cmbCentre->setEditable(true);
    cmbCentre->setInsertPolicy(QComboBox::NoInsert);
    // Every paper may be listed: the list measures one line for all, and takes them at once.
    cmbCentre->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    cmbCentre->setMaxVisibleItems(20);
    if (auto* view = qobject_cast<QListView*>(cmbCentre->view()))
        view->setUniformItemSizes(true);
    cmbCentre->setModel(m_lines);
    // Part of a title, typed anywhere in the box, offers the papers that hold it.
    auto* completer = new QCompleter(m_lines, cmbCentre);
    completer->setCaseSensitivity(Qt::CaseInsensitive);
    completer->setFilterMode(Qt::MatchContains);
    cmbCentre->setCompleter(completer);
    label->setBuddy(cmbCentre);

    chkSecondLevel = new QCheckBox(QStringLiteral("&Second level"), this);
    chkSecondLevel->setObjectName(QStringLiteral("chkSecondLevel"));
    chkSecondLevel->setToolTip(
        QStringLiteral("Also the papers that these papers reference and are cited by"));
    cmdRecentre = new QPushButton(QStringLiteral("&Centre on Selected"), this);
    cmdRecentre->setObjectName(QStringLiteral("cmdRecentre"));
    cmdRecentre->setEnabled(false);

    viewMap = new MapView(this);
    viewMap->setObjectName(QStringLiteral("viewMap"));
    auto* scene = new QGraphicsScene(viewMap);
    viewMap->setScene(scene);

    lblSummary = new QLabel(this);
    lblSummary->setObjectName(QStringLiteral("lblSummary"));
    cmdBack = new QPushButton(QStringLiteral("Back"), this);
    cmdBack->setObjectName(QStringLiteral("cmdBack"));
    cmdSavePicture = new QPushButton(QStringLiteral("Save Picture..."), this);
    cmdSavePicture->setObjectName(QStringLiteral("cmdSavePicture"));

    auto* top = new QHBoxLayout();
    top->addWidget(label);
    top->addWidget(cmbCentre, 1);
    top->addWidget(chkSecondLevel);
    top->addWidget(cmdRecentre);
    auto* bottom = new QHBoxLayout();
    bottom->addWidget(cmdBack);
    bottom->addWidget(cmdSavePicture);
    bottom->addWidget(lblSummary, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(viewMap, 1);
    layout->addLayout(bottom);

    QObject::connect(cmbCentre, &QComboBox::activated, this,
                     [this](int index) { services::guarded([&] { cmbCentre_Activated(index); }); });
    QObject::connect(cmbCentre->lineEdit(), &QLineEdit::returnPressed, this,
                     [this] { services::guarded([this] { cmbCentre_ReturnPressed(); }); });
    QObject::connect(chkSecondLevel, &QCheckBox::toggled, this,
                     [this] { services::guarded([this] { chkSecondLevel_Toggled(); }); });
    QObject::connect(cmdRecentre, &QPushButton::clicked, this,
                     [this] { services::guarded([this] { cmdRecentre_Click(); }); });
    QObject::connect(cmdBack, &QPushButton::clicked, this,
                     [this] { services::guarded([this] { hideForm(); }); });
    QObject::connect(cmdSavePicture, &QPushButton::clicked, this,
                     [this] { services::guarded([this] { cmdSavePicture_Click(); }); });
    QObject::connect(scene, &QGraphicsScene::selectionChanged, this, [this] {
        const QList<QGraphicsItem*> chosen = viewMap->scene()->selectedItems();
        cmdRecentre->setEnabled(chosen.size() == 1 && chosen.front()->type() == MapNode::Type &&
                                static_cast<MapNode*>(chosen.front())->paperId() != m_centre);
    });
    viewMap->openPaper = [this](qint32 id) { openPaper(id); };
    viewMap->centreOnPaper = [this](qint32 id) { centreOn(id); };
}

frmCitationMap::~frmCitationMap()
{
    // The scene goes after the buttons its selection enables: it must no longer reach them.
    viewMap->scene()->disconnect(this);
}

void frmCitationMap::Form_Load()
{
    placeByPositionForm();
}

void frmCitationMap::populate()
{
    fillPaperList();
    showForm();
    std::optional<qint32> onScreen;
    if (frmViewPaper::isLoaded() && frmViewPaper::instance().currentPaperID() >= 1)
        onScreen = frmViewPaper::instance().currentPaperID();
    if (onScreen) {
        centreOn(*onScreen);
        return;
    }
    m_centre.reset();
    m_graph = {};
    cmbCentre->setCurrentIndex(-1);
    cmbCentre->setEditText(QString());
    showMessage(QStringLiteral("Choose a paper from the list above to see its citations."));
    cmbCentre->setFocus();
}

void frmCitationMap::fillPaperList()
{
    // Read again only when the papers have changed since: with tens of thousands of papers the
    // list is most of the time the window takes to open.
    db::Database& database = project().db();
    const db::TableVersion version = database.tableVersion(QStringLiteral("Papers"));
    if (m_linesVersion == version)
        return;
    db::Recordset rs = database.OpenRecordset(
        QStringLiteral("select [Paper ID], [Title] from [Papers] order by [Title], [Paper ID];"));
    QStringList lines;
    std::vector<qint32> ids;
    lines.reserve(rs.RecordCount());
    ids.reserve(static_cast<size_t>(rs.RecordCount()));
    const db::Field id = rs.Fields(QStringLiteral("Paper ID"));
    const db::Field title = rs.Fields(QStringLiteral("Title"));
    const QString separator = QStringLiteral(" : ");
    for (int i = 0; i < rs.RecordCount(); ++i) {
        rs.setAbsolutePosition(i);
        const qint32 paper = id.toLong();
        ids.push_back(paper);
        lines.append(QString::number(paper) + separator + title.text());
    }
    const QString typed = cmbCentre->currentText();
    m_lines->setStringList(lines);
    m_lineIds = std::move(ids);
    m_linesVersion = version;
    cmbCentre->setCurrentIndex(-1);
    cmbCentre->setEditText(typed);
}

void frmCitationMap::selectInList(qint32 paperId)
{
    const auto it = std::find(m_lineIds.begin(), m_lineIds.end(), paperId);
    if (it == m_lineIds.end()) {
        cmbCentre->setCurrentIndex(-1);
        cmbCentre->setEditText(QString::number(paperId));
        return;
    }
    cmbCentre->setCurrentIndex(static_cast<int>(it - m_lineIds.begin()));
}

void frmCitationMap::centreOn(qint32 paperId)
{
    // A paper whose neighbourhood cannot be read (the file is held) leaves the map as it was.
    const std::optional<qint32> was = m_centre;
    m_centre = paperId;
    try {
        redraw();
    } catch (...) {
        m_centre = was;
        throw;
    }
    selectInList(paperId);
}

void frmCitationMap::showMessage(const QString& text)
{
    QGraphicsScene* scene = viewMap->scene();
    scene->clear();
    QGraphicsSimpleTextItem* item = scene->addSimpleText(text);
    scene->setSceneRect(item->boundingRect().adjusted(-20, -20, 20, 20));
    viewMap->resetTransform();
    viewMap->centerOn(item);
    lblSummary->setText(text);
    cmdSavePicture->setEnabled(false);
    cmdRecentre->setEnabled(false);
}

void frmCitationMap::redraw()
{
    if (!m_centre)
        return;
    const qint32 centreId = *m_centre;
    m_graph =
        citations::readNeighbourhood(project().db(), centreId, chkSecondLevel->isChecked() ? 2 : 1);
    if (!m_graph.found) {
        m_centre.reset();
        showMessage(QStringLiteral("Paper %1 is not in the project.").arg(centreId));
        return;
    }

    const QFont base = viewMap->font();
    const QFont bold = centreFont(base);
    const QFontMetricsF baseMetrics(base);
    const QFontMetricsF boldMetrics(bold);
    std::vector<QSizeF> sizes;
    sizes.reserve(m_graph.nodes.size());
    for (const citations::Node& n : m_graph.nodes) {
        const QFontMetricsF& m = n.level == 0 ? boldMetrics : baseMetrics;
        sizes.emplace_back(m.horizontalAdvance(citations::nodeLabel(n)) + 16, m.height() + 10);
    }
    citations::Spacing spacing;
    spacing.headingHeight = baseMetrics.height() + 10;
    const citations::Layout layout = citations::layOut(m_graph, sizes, spacing);

    QGraphicsScene* scene = viewMap->scene();
    scene->clear();
    // A block of many papers gets the centre's citations as one broad arrow: hundreds of
    // single lines from one point would cover the block's other lines and read as one anyway.
    std::unordered_set<int> bundled;
    for (const citations::Block& block : layout.blocks) {
        if (block.level != 1 || block.count <= spacing.minimumColumnRows)
            continue;
        bundled.insert(static_cast<int>(block.side));
        const QRectF& middle = layout.nodes.front();
        QLineF line = block.side == Side::References
                          ? QLineF(middle.left(), 0, block.area.right(), 0)
                          : QLineF(block.area.left(), 0, middle.right(), 0);
        auto* bundle = new QGraphicsPathItem(arrow(line, 14));
        QPen pen(QColor(nearLine), 4);
        pen.setCapStyle(Qt::FlatCap);
        bundle->setPen(pen);
        bundle->setData(2, block.count);
        scene->addItem(bundle);
    }
    // The lines under the boxes; those of the centre darker than those further out.
    for (const citations::Edge& e : m_graph.edges) {
        const int from = m_graph.indexById.at(e.citing);
        const int to = m_graph.indexById.at(e.cited);
        const bool near = e.citing == centreId || e.cited == centreId;
        const citations::Node& other =
            m_graph.nodes[static_cast<size_t>(e.citing == centreId ? to : from)];
        if (near && bundled.contains(static_cast<int>(other.side)))
            continue;
        auto* line =
            new QGraphicsPathItem(arrow(citationLine(layout.nodes[static_cast<size_t>(from)],
                                                     layout.nodes[static_cast<size_t>(to)]),
                                        7));
        QPen pen(QColor(near ? nearLine : farLine));
        pen.setCosmetic(true);
        line->setPen(pen);
        line->setData(0, e.citing);
        line->setData(1, e.cited);
        scene->addItem(line);
    }
    bool anyMarked = false;
    for (size_t i = 0; i < m_graph.nodes.size(); ++i) {
        const citations::Node& n = m_graph.nodes[i];
        anyMarked = anyMarked || n.sharesAuthor;
        scene->addItem(new MapNode(n, layout.nodes[i], n.level == 0 ? bold : base));
    }
    // Headings stand over their blocks' edges nearest the centre, and may be wider.
    QRectF bounds = layout.bounds;
    const QFont headings = headingFont(base);
    for (const citations::Block& block : layout.blocks) {
        QGraphicsSimpleTextItem* heading = scene->addSimpleText(headingText(block), headings);
        heading->setPos(block.side == Side::References
                            ? block.heading.right() - heading->boundingRect().width()
                            : block.heading.left(),
                        block.heading.top());
        bounds |= heading->sceneBoundingRect();
    }

    // The centre's title above the map, and what the colours mean below it, so that a saved
    // picture explains itself.
    const citations::Node& centre = m_graph.nodes.front();
    QGraphicsSimpleTextItem* caption = scene->addSimpleText(centre.title, headings);
    caption->setPos(-caption->boundingRect().width() / 2,
                    bounds.top() - caption->boundingRect().height() - 12);
    bounds |= caption->sceneBoundingRect();
    if (anyMarked) {
        QGraphicsSimpleTextItem* legend =
            scene->addSimpleText(QStringLiteral("Orange: papers that share an author with ") +
                                     citations::nodeLabel(centre),
                                 base);
        legend->setPos(-legend->boundingRect().width() / 2, bounds.bottom() + 12);
        bounds |= legend->sceneBoundingRect();
    }
    scene->setSceneRect(bounds.adjusted(-30, -30, 30, 30));

    // At a scale at which the labels can be read, about the centre.
    viewMap->resetTransform();
    const QSizeF port = viewMap->viewport()->size();
    const double fit = std::min(port.width() / scene->sceneRect().width(),
                                port.height() / scene->sceneRect().height());
    const double scale = std::clamp(fit, ReadableScale, 1.0);
    viewMap->scale(scale, scale);
    viewMap->centerOn(layout.nodes.front().center());

    const int references = m_graph.count(1, Side::References);
    const int citing = m_graph.count(1, Side::Citations);
    QString summary = citations::nodeLabel(centre) + QStringLiteral(" references ") +
                      papers(references) + QStringLiteral(" and is cited by ") + papers(citing);
    if (chkSecondLevel->isChecked()) {
        const int further = m_graph.count(2, Side::References) + m_graph.count(2, Side::Citations);
        summary += QStringLiteral("; ") + papers(further) + QStringLiteral(" one level further");
    }
    lblSummary->setText(summary);
    cmdSavePicture->setEnabled(true);
    cmdRecentre->setEnabled(false);
}

void frmCitationMap::cmbCentre_Activated(int index)
{
    if (index >= 0 && index < static_cast<int>(m_lineIds.size()))
        centreOn(m_lineIds[static_cast<size_t>(index)]);
}

void frmCitationMap::cmbCentre_ReturnPressed()
{
    // A line of the list, or a paper's number typed on its own.
    const QString text = cmbCentre->currentText().trimmed();
    const int line = m_lines->stringList().indexOf(text);
    std::optional<qint32> id;
    if (line >= 0) {
        id = m_lineIds[static_cast<size_t>(line)];
    } else {
        bool ok = false;
        const qint32 typed = text.section(QLatin1Char(' '), 0, 0).toInt(&ok);
        if (ok)
            id = typed;
    }
    if (!id) {
        lblSummary->setText(QStringLiteral("Choose a paper from the list, or type its number."));
        return;
    }
    // The list may have centred the map on it already as Enter chose the line.
    if (id != m_centre)
        centreOn(*id);
}

void frmCitationMap::chkSecondLevel_Toggled()
{
    try {
        redraw();
    } catch (...) {
        // The map still shows the levels it showed: so does the box.
        const QSignalBlocker quiet(chkSecondLevel);
        chkSecondLevel->toggle();
        throw;
    }
}

void frmCitationMap::cmdRecentre_Click()
{
    const QList<QGraphicsItem*> chosen = viewMap->scene()->selectedItems();
    if (chosen.size() == 1 && chosen.front()->type() == MapNode::Type)
        centreOn(static_cast<MapNode*>(chosen.front())->paperId());
}

void frmCitationMap::cmdSavePicture_Click()
{
    QGraphicsScene* scene = viewMap->scene();
    const QRectF source = scene->sceneRect();
    const double shrink = std::min(1.0, LargestPicture / std::max(source.width(), source.height()));
    const QSize size(static_cast<int>(std::ceil(source.width() * shrink)),
                     static_cast<int>(std::ceil(source.height() * shrink)));
    const QString title = QStringLiteral("Citation map: ") + m_graph.nodes.front().title;
    pictures::saveWithDialog(size, title, [scene, source, size](QPainter& painter) {
        scene->render(&painter, QRectF(QPointF(0, 0), QSizeF(size)), source);
    });
}

void frmCitationMap::openPaper(qint32 paperId)
{
    handOver([paperId] { windows::openPaper(paperId, windows::PaperOrigin::Search); });
}

void windows::openCitationMap()
{
    frmCitationMap::instance().populate();
}

} // namespace quirelle
