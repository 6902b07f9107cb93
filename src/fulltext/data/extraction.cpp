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

namespace quirelle::fulltext {

namespace {

QMutex pathMutex;
QString setPath;

constexpr int Slice = 20; // ms between looks at the cancel flag

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
    m_process->setChildProcessModifier([memory] {
        // Between fork and exec: only calls that are safe there.
        const rlimit limit{memory, memory};
        ::setrlimit(RLIMIT_AS, &limit);
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
    if (!m_process)
        return;
    m_process->closeWriteChannel();
    if (!m_process->waitForFinished(200)) {
        m_process->kill();
        m_process->waitForFinished(-1);
    }
    m_process.reset();
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

    out.outcome = Extraction::Outcome::Unreadable;
    if (!m_process && !start()) {
        out.reason = QStringLiteral("the reader could not be started");
        return out;
    }
    m_process->write(pathLine(info.absoluteFilePath()));
    QByteArray output;
    Response response;
    const QDeadlineTimer deadline(m_limits.milliseconds);
    while (true) {
        output += m_process->readAllStandardOutput();
        m_process->readAllStandardError(); // only the answer counts
        response = parseResponse(output);
        if (response.kind != Response::Kind::Incomplete)
            break;
        if (m_process->state() == QProcess::NotRunning) {
            out.reason = QStringLiteral("crashed");
            m_process.reset();
            return out;
        }
        if (cancelled && cancelled->load()) {
            stop();
            out.outcome = Extraction::Outcome::Cancelled;
            return out;
        }
        if (deadline.hasExpired()) {
            m_process->kill();
            stop();
            out.reason = QStringLiteral("timed out");
            return out;
        }
        m_process->waitForReadyRead(Slice);
    }
    if (response.kind == Response::Kind::Garbage || response.consumed != output.size()) {
        // Not an answer of this program's: the process is not to be trusted with another file.
        stop();
        out.reason = QStringLiteral("crashed");
        return out;
    }
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
