// Brings others' changes to the windows: while a project that others may change is open (one on
// a server, or a file this copy may only read), the database is asked a few times a second
// whether others committed changes, and every open window is told when they did. A connection the
// server ended (a restart, a network gone) is said in a status panel until the next action
// connects again.
#pragma once

#include <QObject>
#include <QTimer>

#include <optional>

class QLabel;

namespace quirelle {

class ChangeWatcher final : public QObject
{
    Q_OBJECT

public:
    // `panel` says when the connection to the server was lost.
    explicit ChangeWatcher(QLabel* panel, QObject* parent = nullptr);

    // Looks now rather than at the next tick; the first look after a project is opened is where
    // its changes are counted from.
    void look();

private:
    QLabel* m_panel;
    QTimer m_timer;
    quint64 m_generation = 0;     // the opening of the project the versions below belong to
    std::optional<qint64> m_seen; // others' changes counted when last looked
};

} // namespace quirelle
