// The reference processor on a thread of its own, so that no window waits for it: the script
// and a style load once and are reused, the styles found are listed once, and each request's
// result comes back to the caller's thread as a signal with the request's ticket.
#pragma once

#include "citation/data/cslstyle.h"

#include <QJsonArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>
#include <vector>

class QThread;

namespace quirelle::citation {

class Processor;

struct FormatJob
{
    QString style;  // a style's name or a .csl file
    QString locale; // empty: the style's own
    QJsonArray items;
    bool citation = false; // one in-text citation instead of bibliography entries
    bool rtf = false;      // RTF as well, for a file
};

struct Formatted
{
    QStringList html; // the entries (one citation), as HTML
    QStringList text; // the same as plain text
    QStringList rtf;  // and as RTF, when asked for
    QString error;    // what is wrong, when nothing could be formatted
    QStringList notices;
};

class CitationService final : public QObject
{
    Q_OBJECT

public:
    // The program's service, made on first use and owned by the application.
    static CitationService& instance();
    ~CitationService() override;

    // Lists the styles found (once; later calls answer from what was found) by `stylesListed`.
    void requestStyles();
    bool stylesKnown() const { return m_stylesKnown; }
    const std::vector<StyleInfo>& styles() const { return m_styles; }

    // Formats `job`; the result arrives by `formatted` with the returned ticket.
    quint64 format(FormatJob job);
    // Loads the script (and `style`, a name or a file, when given) ahead of the first request.
    void warmUp(const QString& style = {});

signals:
    void stylesListed();
    void formatted(quint64 ticket, const quirelle::citation::Formatted& result);

private:
    explicit CitationService(QObject* parent);

    void makeProcessor(); // on m_thread

    QThread* m_thread;
    QObject* m_worker;                       // lives on m_thread
    std::unique_ptr<Processor> m_processor;  // made and used on m_thread only
    std::atomic<Processor*> m_live{nullptr}; // m_processor, for an interruption from elsewhere
    QString m_loadedStyle, m_loadedLocale;   // what m_processor has ready (m_thread only)
    std::vector<StyleInfo> m_styles;
    bool m_stylesKnown = false;
    bool m_stylesRequested = false;
    quint64 m_lastTicket = 0;
};

} // namespace quirelle::citation
