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

Extraction extractFile(const QString& path, const ExtractLimits& limits,
                       const std::atomic<bool>* cancelled)
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
        out.outcome =
            kind == TextKind::Pdf ? Extraction::Outcome::Unreadable : Extraction::Outcome::Read;
        if (kind == TextKind::Pdf)
            out.reason = QStringLiteral("damaged");
        else
            out.pages << QString();
        return out;
    }

    QProcess process;
    process.setProgram(extractorPath());
    process.setArguments({info.absoluteFilePath()});
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.setStandardInputFile(QProcess::nullDevice());
    const rlim_t memory = static_cast<rlim_t>(limits.memoryBytes);
    process.setChildProcessModifier([memory] {
        // Between fork and exec: only calls that are safe there.
        const rlimit limit{memory, memory};
        ::setrlimit(RLIMIT_AS, &limit);
        const rlimit noCore{0, 0};
        ::setrlimit(RLIMIT_CORE, &noCore);
    });
    process.start();
    if (!process.waitForStarted(10'000)) {
        out.outcome = Extraction::Outcome::Unreadable;
        out.reason = QStringLiteral("the reader could not be started");
        return out;
    }
    QByteArray output;
    const QDeadlineTimer deadline(limits.milliseconds);
    bool timedOut = false;
    while (process.state() != QProcess::NotRunning) {
        if (cancelled && cancelled->load()) {
            process.kill();
            process.waitForFinished(-1);
            out.outcome = Extraction::Outcome::Cancelled;
            return out;
        }
        if (deadline.hasExpired()) {
            timedOut = true;
            process.kill();
            process.waitForFinished(-1);
            break;
        }
        process.waitForFinished(Slice);
        output += process.readAllStandardOutput();
        process.readAllStandardError(); // only the exit status counts
    }
    output += process.readAllStandardOutput();

    out.outcome = Extraction::Outcome::Unreadable;
    if (timedOut) {
        out.reason = QStringLiteral("timed out");
        return out;
    }
    if (process.exitStatus() == QProcess::CrashExit) {
        out.reason = QStringLiteral("crashed");
        return out;
    }
    switch (process.exitCode()) {
    case ExtractRead:
        break;
    case ExtractEncrypted:
        out.reason = QStringLiteral("encrypted");
        return out;
    case ExtractDamaged:
        out.reason = QStringLiteral("damaged");
        return out;
    case ExtractUnsupported:
        out.outcome = Extraction::Outcome::NotIndexed;
        out.reason = QStringLiteral("not a kind of file that is indexed");
        return out;
    default:
        out.reason = QStringLiteral("crashed");
        return out;
    }
    std::optional<QStringList> pages = parseExtractOutput(output);
    if (!pages) {
        out.reason = QStringLiteral("crashed");
        return out;
    }
    if (kind == TextKind::Pdf) {
        bool anyText = false;
        for (const QString& page : *pages) {
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
    out.pages = std::move(*pages);
    return out;
}

} // namespace quirelle::fulltext
