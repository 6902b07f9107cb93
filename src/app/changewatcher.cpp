#include "app/changewatcher.h"

#include "app/services.h"
#include "app/windows.h"
#include "db/dberror.h"
#include "db/project.h"

#include <QLabel>

namespace quirelle {

namespace {

const QString LostText =
    QStringLiteral("Connection to the server lost: the next action connects again");

// Only others can change what this copy shows when the project is shared on a server, or when
// another copy holds the file and this one may only read it.
bool othersMayWrite(Project& p)
{
    return p.isServer() || p.readOnly();
}

} // namespace

ChangeWatcher::ChangeWatcher(QLabel* panel, QObject* parent) : QObject(parent), m_panel(panel)
{
    // Four looks a second: a change shows within a second, each look costs next to nothing.
    m_timer.setInterval(250);
    connect(&m_timer, &QTimer::timeout, this, [this] { services::guarded([this] { look(); }); });
    m_timer.start();
}

void ChangeWatcher::look()
{
    Project& p = project();
    if (!othersMayWrite(p)) {
        m_seen.reset();
        m_panel->clear();
        return;
    }
    qint64 now = 0;
    try {
        now = p.db().othersChanges();
    } catch (const db::DbError&) {
        // A project that cannot be read now is said by the next action that needs it; a lost
        // connection also here, as others' changes no longer show until then.
        if (p.isServer())
            m_panel->setText(LostText);
        return;
    }
    m_panel->clear();
    const bool changedElsewhere = m_generation == p.generation() && m_seen && now != *m_seen;
    m_generation = p.generation();
    m_seen = now;
    if (changedElsewhere)
        windows::changedElsewhere();
}

} // namespace quirelle
