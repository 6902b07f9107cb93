// The reference processor's thread.
#include "citation/data/citationservice.h"

#include "citation/data/processor.h"

#include <QCoreApplication>
#include <QJsonObject>
#include <QThread>

namespace quirelle::citation {

namespace {

CitationService* s_service = nullptr;

} // namespace

CitationService& CitationService::instance()
{
    if (!s_service)
        s_service = new CitationService(QCoreApplication::instance());
    return *s_service;
}

CitationService::CitationService(QObject* parent)
    : QObject(parent), m_thread(new QThread(this)), m_worker(new QObject)
{
    m_thread->setObjectName(QStringLiteral("citation"));
    m_worker->moveToThread(m_thread);
    QObject::connect(m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    m_thread->start();
}

CitationService::~CitationService()
{
    // Work under way is cut short rather than waited for (a large bibliography takes a
    // minute), along with the requests still queued; the script engine belongs to the
    // worker's thread: it goes there.
    if (Processor* busy = m_live.load())
        busy->interrupt();
    QMetaObject::invokeMethod(
        m_worker,
        [this] {
            m_live = nullptr;
            m_processor.reset();
        },
        Qt::BlockingQueuedConnection);
    m_thread->quit();
    m_thread->wait();
    if (s_service == this)
        s_service = nullptr;
}

void CitationService::makeProcessor()
{
    if (!m_processor) {
        m_processor = std::make_unique<Processor>();
        m_live = m_processor.get();
    }
}

void CitationService::requestStyles()
{
    if (m_stylesKnown) {
        emit stylesListed();
        return;
    }
    if (std::exchange(m_stylesRequested, true))
        return;
    QMetaObject::invokeMethod(m_worker, [this] {
        auto found = listStyles();
        QMetaObject::invokeMethod(this, [this, found = std::move(found)]() mutable {
            m_styles = std::move(found);
            m_stylesKnown = true;
            emit stylesListed();
        });
    });
}

void CitationService::warmUp(const QString& style)
{
    FormatJob job;
    job.style = style;
    QMetaObject::invokeMethod(m_worker, [this, job] {
        makeProcessor();
        QString error;
        if (!m_processor->load(&error) || job.style.isEmpty())
            return;
        // Requests name a style by its file, as the style list gives it.
        const QString file = styleFile(job.style);
        if (file.isEmpty() || file == m_loadedStyle)
            return;
        if (auto style = loadStyle(file, &error)) {
            if (m_processor->setStyle(*style, {}, &error)) {
                m_loadedStyle = file;
                m_loadedLocale.clear();
            }
        }
    });
}

quint64 CitationService::format(FormatJob job)
{
    const quint64 ticket = ++m_lastTicket;
    QMetaObject::invokeMethod(m_worker, [this, ticket, job = std::move(job)] {
        makeProcessor();
        Formatted result;
        Processor& p = *m_processor;
        if (job.style != m_loadedStyle || job.locale != m_loadedLocale) {
            m_loadedStyle.clear();
            auto style = loadStyle(job.style, &result.error);
            if (style && p.setStyle(*style, job.locale, &result.error)) {
                m_loadedStyle = job.style;
                m_loadedLocale = job.locale;
            }
        }
        if (!m_loadedStyle.isEmpty()) {
            p.setItems(job.items);
            QStringList ids;
            for (const QJsonValue& item : job.items)
                ids << item.toObject().value(QStringLiteral("id")).toVariant().toString();
            if (job.citation) {
                result.html << p.citation(ids, OutputFormat::Html, &result.error);
                result.text << p.citation(ids, OutputFormat::Text, &result.error);
                if (job.rtf)
                    result.rtf << p.citation(ids, OutputFormat::Rtf, &result.error);
            } else {
                result.html = p.bibliography(ids, OutputFormat::Html, &result.error);
                result.text = p.bibliography(ids, OutputFormat::Text, &result.error);
                if (job.rtf)
                    result.rtf = p.bibliography(ids, OutputFormat::Rtf, &result.error);
            }
            if (!result.html.isEmpty())
                result.error.clear();
        }
        result.notices = p.takeNotices();
        QMetaObject::invokeMethod(this, [this, ticket, result] { emit formatted(ticket, result); });
    });
    return ticket;
}

} // namespace quirelle::citation
