// The SHA-256 of a file's content, fed as it is read (while a copy is written, the bytes are read
// once for both). On processors with the SHA instructions the blocks go through them: the hash
// then keeps pace with the disk, where the portable code would be the slowest part of a copy.
#pragma once

#include <QByteArray>
#include <QCryptographicHash>
#include <QString>

#include <array>
#include <cstdint>

namespace quirelle::paper {

class ContentHash final
{
public:
    ContentHash();
    void addData(const char* data, qsizetype size);
    // The hash in lower-case hex; the object is spent afterwards.
    QString hex();

private:
    void blocks(const unsigned char* data, size_t count);

    bool m_fast = false;
    QCryptographicHash m_portable{QCryptographicHash::Sha256};
    std::array<std::uint32_t, 8> m_state{};
    std::array<unsigned char, 64> m_pending{};
    size_t m_pendingSize = 0;
    std::uint64_t m_total = 0; // bytes fed
};

} // namespace quirelle::paper
