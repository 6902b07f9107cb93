// The index's panel in the status bar, and the entry points of the other windows.
#include "fulltext/indexstatus.h"

#include "app/frmmain.h"
#include "app/services.h"
#include "app/windows.h"
#include "db/nativesql.h"
#include "db/project.h"
#include "fulltext/data/backgroundindex.h"

#include <QLabel>

namespace quirelle::fulltext {

namespace {

const QString ReadOnlyText =
    QStringLiteral("Read-only project: its full text is searched but not indexed");

// Whether the open project has files, or an index to take them out of: an update of a project
// without any starts no thread.
bool hasIndexWork(db::Database& database)
{
    const bool files = database.tableExists(QStringLiteral("Paper Files"));
    const bool indexed = hasIndexTables(database);
    if (!files && !indexed)
        return false;
    // In words either engine reads.
    QString sql = QStringLiteral("SELECT ");
    sql +=
        files ? QStringLiteral("EXISTS(SELECT 1 FROM \"Paper Files\")") : QStringLiteral("1 = 0");
    sql += indexed ? QStringLiteral(" OR EXISTS(SELECT 1 FROM \"Full Text Files\")") : QString();
    db::NativeStatement s(database, sql);
    return s.next() && s.number(0) != 0;
}

} // namespace

IndexStatus::IndexStatus(QLabel* panel, QObject* parent)
    : QObject(parent), m_panel(panel), m_worker(new BackgroundIndex(this))
{
    QObject::connect(m_worker, &BackgroundIndex::progress, this, [this](int done, int total) {
        m_panel->setText(QStringLiteral("Indexing %1 of %2 files").arg(done).arg(total));
    });
    QObject::connect(m_worker, &BackgroundIndex::readOnly, this,
                     [this] { m_panel->setText(ReadOnlyText); });
    QObject::connect(m_worker, &BackgroundIndex::failed, this, [this](const QString& why) {
        m_panel->setText(QStringLiteral("The full-text index was not brought up to date: ") + why);
    });
    QObject::connect(m_worker, &BackgroundIndex::finished, this, [this](const IndexRun& run) {
        m_panel->setText(
            run.unreadable > 0
                ? QStringLiteral("Full-text index: %1 files could not be read").arg(run.unreadable)
                : QString());
    });
}

IndexStatus::~IndexStatus() = default;

void IndexStatus::start(bool rebuild)
{
    Project& p = project();
    // A shared project's index is brought up to date with the files this computer can read.
    if (!p.isOpen()) {
        m_worker->cancel();
        return;
    }
    if (p.readOnly()) {
        m_worker->cancel();
        m_panel->setText(ReadOnlyText);
        return;
    }
    if (!rebuild && !hasIndexWork(p.db())) {
        m_worker->cancel();
        m_panel->clear();
        return;
    }
    if (rebuild) {
        m_worker->cancel(); // it would write into the index being emptied
        clearIndex(p.db());
    }
    m_worker->update(p.file());
}

void IndexStatus::filesChanged()
{
    start(false);
}

void IndexStatus::rebuild()
{
    start(true);
}

void IndexStatus::stop()
{
    m_worker->cancel();
}

} // namespace quirelle::fulltext

namespace quirelle {

void windows::filesChanged()
{
    if (frmMain::isLoaded())
        frmMain::instance().fullText().filesChanged();
}

void windows::rebuildFullTextIndex()
{
    frmMain::instance().fullText().rebuild();
}

void windows::stopFullTextIndex()
{
    if (frmMain::isLoaded())
        frmMain::instance().fullText().stop();
}

} // namespace quirelle
