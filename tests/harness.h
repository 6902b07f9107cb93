// The helper program (db/crashharness.cpp) that the crash, lock and busy-file tests start as
// another copy of the program, read line by line while it runs. Its path comes from the build.
#pragma once

#include <QProcess>
#include <QStringList>

namespace quirelle::test {

class Harness final
{
public:
    explicit Harness(const QStringList& args)
    {
        m_process.start(QStringLiteral(QUIRELLE_CRASH_HARNESS), args);
        m_process.waitForStarted();
    }
    ~Harness() { kill(); }
    // Waits until `count` lines have come (or the program ended, or 60 s passed).
    bool waitForLines(int count)
    {
        while (m_lines.size() < count) {
            if (m_process.state() == QProcess::NotRunning || !m_process.waitForReadyRead(60000)) {
                readLines();
                return m_lines.size() >= count;
            }
            readLines();
        }
        return true;
    }
    // The first line it printed, once it has come.
    QString firstLine() { return waitForLines(1) ? m_lines.first() : QString(); }
    void send(const QByteArray& line) { m_process.write(line + '\n'); }
    // Closes its input, as the end of a session does, and waits for it to end.
    bool finish()
    {
        m_process.closeWriteChannel();
        return m_process.waitForFinished(30000);
    }
    // SIGKILL: no chance to finish a write or to close the file.
    void kill()
    {
        m_process.kill();
        m_process.waitForFinished();
        readLines();
    }
    const QStringList& lines() const { return m_lines; }
    QString errors() { return QString::fromUtf8(m_process.readAllStandardError()); }
    qint64 pid() const { return m_process.processId(); }
    // How it ended, its last line and what it wrote on its error output: for a failure message.
    QString ending()
    {
        return QStringLiteral("%1 %2, last line \"%3\": %4")
            .arg(m_process.exitStatus() == QProcess::CrashExit ? "crashed" : "exited")
            .arg(m_process.exitCode())
            .arg(m_lines.value(m_lines.size() - 1), errors());
    }

private:
    void readLines()
    {
        while (m_process.canReadLine())
            m_lines << QString::fromUtf8(m_process.readLine()).trimmed();
    }
    QProcess m_process;
    QStringList m_lines;
};

} // namespace quirelle::test
