// Brings others' changes to the windows: while a project that others may change is open (one on
// a server, or a file this copy may only read), the tables the windows show are looked at a few
// times a second, and every open window is told when someone else has written to them.
#pragma once

#include "db/database.h"

#include <QObject>
#include <QTimer>

#include <vector>

namespace quirelle {

class ChangeWatcher final : public QObject
{
    Q_OBJECT

public:
    explicit ChangeWatcher(QObject* parent = nullptr);

    // Looks now rather than at the next tick; the first look after a project is opened is where
    // its changes are counted from.
    void look();

private:
    QTimer m_timer;
    quint64 m_generation = 0; // the opening of the project the versions below belong to
    std::vector<db::TableVersion> m_seen;
};

} // namespace quirelle
