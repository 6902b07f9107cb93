// The extractor's process: started per file, watched, killed when it runs too long.
#include "fulltext/data/extraction.h"

#include "fulltext/data/extractformat.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QProcess>

#include <sys/resource.h>

#if defined(__SANITIZE_ADDRESS__)
#define QUIRELLE_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUIRELLE_ADDRESS_SANITIZER 1
#endif
#endif

namespace quirelle::fulltext {

namespace {

QMutex pathMutex;
QString setPath;

constexpr int Slice = 20; // ms between looks at the cancel flag
constexpr int Ahead = 2;  // files asked for before their turn

} // namespace

QString extractorPath()
{
    const QMutexLocker lock(&pathMutex);
    if (!setPath.isEmpty())
        return setPath;
    return QDir(QCoreApplication::applicationDirPath())
        .filePath(QStringLiteral("quirelle-extract"));
}

void setExtractorPath(const QString& path)
{
    const QMutexLocker lock(&pathMutex);
    setPath = path;
}

Extractor::Extractor(const ExtractLimits& limits) : m_limits(limits) {}

Extractor::~Extractor()
{
    stop();
}

bool Extractor::start()
{
    m_process = std::make_unique<QProcess>();
    m_process->setProgram(extractorPath());
    m_process->setArguments({QStringLiteral("--serve")});
    m_process->setProcessChannelMode(QProcess::SeparateChannels);
    const rlim_t memory = static_cast<rlim_t>(m_limits.memoryBytes);
#ifdef QUIRELLE_ADDRESS_SANITIZER
    // The address sanitizer reserves far more address space than any limit on it allows: its
    // own limit on the memory in use stands in, and ends the extractor past it.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("ASAN_OPTIONS"),
                       environment.value(QStringLiteral("ASAN_OPTIONS")) +
                           QStringLiteral(":hard_rss_limit_mb=%1").arg(memory >> 20));
    m_process->setProcessEnvironment(environment);
    constexpr bool limitAddressSpace = false;
#else
    constexpr bool limitAddressSpace = true;
#endif
    m_process->setChildProcessModifier([memory] {
        // Between fork and exec: only calls that are safe there.
        if (limitAddressSpace) {
            const rlimit limit{memory, memory};
            ::setrlimit(RLIMIT_AS, &limit);
        }
        const rlimit noCore{0, 0};
        ::setrlimit(RLIMIT_CORE, &noCore);
    });
    m_process->start();
    if (m_process->waitForStarted(10'000))
        return true;
    m_process.reset();
    return false;
}

void Extractor::stop()
{
    m_sent.clear();
    m_buffer.clear();
    if (!m_process)
        return;
    m_process->closeWriteChannel();
    if (!m_process->waitForFinished(200)) {
        m_process->kill();
        m_process->waitForFinished(-1);
    }
    m_process.reset();
}

bool Extractor::send(const QString& absolutePath)
{
    if (!m_process && !start())
        return false;
    m_process->write(pathLine(absolutePath));
    m_sent << absolutePath;
    return true;
}

void Extractor::prefetch(const QString& path)
{
    const QFileInfo info(path);
    if (m_sent.size() < Ahead && !m_sent.contains(info.absoluteFilePath()) && info.isFile() &&
        info.size() > 0 && textKindOf(path) != TextKind::Other)
        send(info.absoluteFilePath());
}

bool Extractor::receive(Extraction& out, Response& response, const std::atomic<bool>* cancelled)
{
    out.outcome = Extraction::Outcome::Unreadable;
    const QDeadlineTimer deadline(m_limits.milliseconds);
    while (true) {
        m_buffer += m_process->readAllStandardOutput();
        m_process->readAllStandardError(); // only the answer counts
        response = parseResponse(m_buffer);
        if (response.kind == Response::Kind::Garbage) {
            // Not an answer of this program's: the process is not to be trusted with another.
            stop();
            out.reason = QStringLiteral("crashed");
            return false;
        }
        if (response.kind != Response::Kind::Incomplete) {
            m_buffer.remove(0, response.consumed);
            m_sent.removeFirst();
            return true;
        }
        if (m_process->state() == QProcess::NotRunning) {
            stop();
            out.reason = QStringLiteral("crashed");
            return false;
        }
        if (cancelled && cancelled->load()) {
            stop();
            out.outcome = Extraction::Outcome::Cancelled;
            return false;
        }
        if (deadline.hasExpired()) {
            m_process->kill();
            stop();
            out.reason = QStringLiteral("timed out");
            return false;
        }
        m_process->waitForReadyRead(Slice);
    }
}

Extraction Extractor::extract(const QString& path, const std::atomic<bool>* cancelled)
{
    Extraction out;
    const QFileInfo info(path);
    if (!info.isFile()) {
        out.outcome = Extraction::Outcome::Missing;
        out.reason = QStringLiteral("missing");
        return out;
    }
    const TextKind kind = textKindOf(path);
    if (kind == TextKind::Other) {
        out.outcome = Extraction::Outcome::NotIndexed;
        out.reason = QStringLiteral("not a kind of file that is indexed");
        return out;
    }
    if (info.size() == 0) { // nothing to read, and no reader needed to say so
        if (kind == TextKind::Pdf) {
            out.outcome = Extraction::Outcome::Unreadable;
            out.reason = QStringLiteral("damaged");
        } else {
            out.pages << QString();
        }
        return out;
    }

    const QString absolute = info.absoluteFilePath();
    Response response;
    // A file asked for ahead and not wanted after all: its answer is read and dropped.
    while (!m_sent.isEmpty() && m_sent.front() != absolute) {
        Extraction dropped;
        if (!receive(dropped, response, cancelled) &&
            dropped.outcome == Extraction::Outcome::Cancelled)
            return dropped;
    }
    if (m_sent.isEmpty() && !send(absolute)) {
        out.outcome = Extraction::Outcome::Unreadable;
        out.reason = QStringLiteral("the reader could not be started");
        return out;
    }
    if (!receive(out, response, cancelled))
        return out;
    if (response.kind == Response::Kind::Failed) {
        switch (response.status) {
        case ExtractEncrypted:
            out.reason = QStringLiteral("encrypted");
            break;
        case ExtractUnsupported:
            out.outcome = Extraction::Outcome::NotIndexed;
            out.reason = QStringLiteral("not a kind of file that is indexed");
            break;
        default:
            out.reason = QStringLiteral("damaged");
            break;
        }
        return out;
    }
    if (kind == TextKind::Pdf) {
        bool anyText = false;
        for (const QString& page : response.pages) {
            if (!page.trimmed().isEmpty()) {
                anyText = true;
                break;
            }
        }
        if (!anyText) {
            out.reason = QStringLiteral("no text layer");
            return out;
        }
    }
    out.outcome = Extraction::Outcome::Read;
    out.pages = std::move(response.pages);
    return out;
}

Extraction extractFile(const QString& path, const ExtractLimits& limits,
                       const std::atomic<bool>* cancelled)
{
    Extractor extractor(limits);
    return extractor.extract(path, cancelled);
}

} // namespace quirelle::fulltext
