// A file written whole or not at all: the bytes go to a temporary file beside it, every write is
// checked, and the temporary file takes the file's place only when all of it reached the disk.
// On any failure the earlier file is left exactly as it was.
#pragma once

#include <QByteArray>
#include <QSaveFile>
#include <QString>

namespace quirelle {

class AtomicFile final
{
public:
    explicit AtomicFile(const QString& path);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    bool open();
    // Appends `bytes`; false once any write has failed (the rest is not written).
    bool write(const QByteArray& bytes);
    // Puts the new file in place; false (and the earlier file kept) when anything failed.
    bool commit();
    // What failed, in the system's words.
    QString errorString() const { return m_error; }

private:
    bool fail(const QString& error);

    QSaveFile m_file;
    QByteArray m_buffer;
    QString m_error;
    bool m_failed = false;
};

// Writes `bytes` as the whole of `path`; returns "" when done, else what failed.
QString writeWholeFile(const QString& path, const QByteArray& bytes);

} // namespace quirelle
