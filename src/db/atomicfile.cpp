// Whole-or-nothing file writing. QSaveFile alone is not enough: its own buffer is written out
// when it is committed, and a failure of that last write (a full disk) could go unreported. So
// the file is opened unbuffered, this class buffers, and every write of the device is checked.
#include "db/atomicfile.h"

namespace quirelle {

namespace {

constexpr qsizetype ChunkSize = 1 << 16;

} // namespace

AtomicFile::AtomicFile(const QString& path) : m_file(path)
{
    m_file.setDirectWriteFallback(false);
}

AtomicFile::~AtomicFile()
{
    if (m_file.isOpen())
        m_file.cancelWriting();
}

bool AtomicFile::fail(const QString& error)
{
    if (!m_failed) {
        m_failed = true;
        m_error = error.isEmpty() ? QStringLiteral("the file could not be written") : error;
    }
    if (m_file.isOpen())
        m_file.cancelWriting();
    return false;
}

bool AtomicFile::open()
{
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return fail(m_file.errorString());
    return true;
}

bool AtomicFile::write(const QByteArray& bytes)
{
    if (m_failed)
        return false;
    m_buffer += bytes;
    while (m_buffer.size() >= ChunkSize) {
        const qint64 written = m_file.write(m_buffer.constData(), ChunkSize);
        if (written != ChunkSize)
            return fail(m_file.errorString());
        m_buffer.remove(0, ChunkSize);
    }
    return true;
}

bool AtomicFile::commit()
{
    if (m_failed)
        return false;
    if (!m_buffer.isEmpty()) {
        const qint64 written = m_file.write(m_buffer);
        if (written != m_buffer.size())
            return fail(m_file.errorString());
        m_buffer.clear();
    }
    if (!m_file.flush() || m_file.error() != QFileDevice::NoError)
        return fail(m_file.errorString());
    if (!m_file.commit()) {
        m_failed = true;
        m_error = m_file.errorString();
        return false;
    }
    return true;
}

QString writeWholeFile(const QString& path, const QByteArray& bytes)
{
    AtomicFile file(path);
    if (!file.open() || !file.write(bytes) || !file.commit())
        return file.errorString();
    return {};
}

} // namespace quirelle
