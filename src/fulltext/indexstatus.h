// The full-text index as the main window keeps it: brought up to date on opening a project and
// when files are attached, linked or removed, rebuilt from the Tools menu, its progress and
// outcome told in a panel of the status bar.
#pragma once

#include <QObject>
#include <QString>

class QLabel;

namespace quirelle::fulltext {

class BackgroundIndex;

class IndexStatus final : public QObject
{
    Q_OBJECT

public:
    // `panel` is the status bar panel that tells what the index is doing.
    IndexStatus(QLabel* panel, QObject* parent);
    ~IndexStatus() override;

    // The open project's files changed, or it was opened: read what is new. A read-only project
    // is searched as it is, and the panel says so.
    void filesChanged();
    // Tools > Rebuild Full-Text Index.
    void rebuild();
    // Stops the update under way (the program ends, the project is closed).
    void stop();
    BackgroundIndex& worker() { return *m_worker; }

private:
    void start(bool rebuild);

    QLabel* m_panel;
    BackgroundIndex* m_worker;
};

} // namespace quirelle::fulltext
