// Running quirelle-extract on one file, with a time limit and a memory limit: a file that
// crashes or hangs it ends only that process, and is listed with the reason.
#pragma once

#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>

class QProcess;

namespace quirelle::fulltext {

struct Response;

struct ExtractLimits
{
    int milliseconds = 60'000;
    qint64 memoryBytes = qint64(2) << 30; // address space of the extractor
};

struct Extraction
{
    enum class Outcome {
        Read,       // `pages` holds the text, page by page
        NotIndexed, // a kind of file that is not read
        Unreadable, // `reason` says why: crashed, timed out, encrypted, no text layer, damaged
        Cancelled,  // the caller asked to stop
        Missing     // the file is not there
    };
    Outcome outcome = Outcome::Read;
    QString reason;
    QStringList pages;
};

// Where quirelle-extract is: beside the running program, unless set.
QString extractorPath();
void setExtractorPath(const QString& path);

// The extractor's process, kept for one file after another: started when first needed, and
// again after a file that ended it (crashed, killed at its time limit). Used on one thread.
class Extractor final
{
public:
    explicit Extractor(const ExtractLimits& limits = {});
    ~Extractor();
    Extractor(const Extractor&) = delete;
    Extractor& operator=(const Extractor&) = delete;

    // Reads `path`. `cancelled` (may be null) is looked at while it runs: the extractor is then
    // killed and the outcome is Cancelled.
    Extraction extract(const QString& path, const std::atomic<bool>* cancelled = nullptr);
    // Names a file that will be asked for after those named before (at most two ahead), so
    // that the extractor reads it while the caller stores the one before.
    void prefetch(const QString& path);

private:
    bool start();
    void stop();
    bool send(const QString& absolutePath);
    // The answer to the first file sent; false (with `out` saying why) when there is none.
    bool receive(Extraction& out, Response& response, const std::atomic<bool>* cancelled);

    ExtractLimits m_limits;
    std::unique_ptr<QProcess> m_process;
    QStringList m_sent;  // files asked for and not yet answered, in order
    QByteArray m_buffer; // what came of the answers not yet taken
};

// One file through an extractor of its own.
Extraction extractFile(const QString& path, const ExtractLimits& limits = {},
                       const std::atomic<bool>* cancelled = nullptr);

} // namespace quirelle::fulltext
