#include "app/changewatcher.h"

#include "app/services.h"
#include "app/windows.h"
#include "db/dberror.h"
#include "db/project.h"

namespace quirelle {

namespace {

// The tables whose rows the windows show.
const QStringList& watchedTables()
{
    static const QStringList tables{
        QStringLiteral("Papers"),
        QStringLiteral("Authors"),
        QStringLiteral("Keywords"),
        QStringLiteral("Models"),
        QStringLiteral("Paper Authors List"),
        QStringLiteral("Paper Keywords List"),
        QStringLiteral("Paper Models List"),
        QStringLiteral("Paper References List"),
        QStringLiteral("Paper Statements List"),
        QStringLiteral("Meetings"),
    };
    return tables;
}

// Only others can change what this copy shows when the project is shared on a server, or when
// another copy holds the file and this one may only read it.
bool othersMayWrite(Project& p)
{
    return p.isOpen() && (p.db().isServer() || p.readOnly());
}

} // namespace

ChangeWatcher::ChangeWatcher(QObject* parent) : QObject(parent)
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
        m_seen.clear();
        return;
    }
    std::vector<db::TableVersion> now;
    now.reserve(static_cast<size_t>(watchedTables().size()));
    try {
        for (const QString& table : watchedTables())
            now.push_back(p.db().tableVersion(table));
    } catch (const db::DbError&) {
        // A project that cannot be read now is said by the next action that needs it.
        return;
    }
    const bool sameOpening = m_generation == p.generation() && now.size() == m_seen.size();
    bool changedElsewhere = false;
    for (size_t i = 0; sameOpening && i < now.size(); ++i)
        changedElsewhere = changedElsewhere || now[i].external != m_seen[i].external;
    m_generation = p.generation();
    m_seen = std::move(now);
    if (changedElsewhere)
        windows::changedElsewhere();
}

} // namespace quirelle
