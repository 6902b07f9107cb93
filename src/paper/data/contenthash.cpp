// SHA-256 through the processor's SHA instructions where there are some, else Qt's.
#include "paper/data/contenthash.h"

#include <cstring>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define QUIRELLE_SHA_NI 1
#include <cpuid.h>
#include <immintrin.h>
#endif

namespace quirelle::paper {

namespace {

#ifdef QUIRELLE_SHA_NI
alignas(16) constexpr std::uint32_t K[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

// Asked of the processor itself: not every compiler knows "sha" as a feature name.
bool haveShaInstructions()
{
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d) || !(c & bit_SSE4_1))
        return false;
    return __get_cpuid_count(7, 0, &a, &b, &c, &d) && (b & bit_SHA);
}

// The compression of `count` 64-byte blocks into `state` (a, b, ... h).
__attribute__((target("sha,sse4.1"))) void shaBlocks(std::uint32_t* state,
                                                     const unsigned char* data, size_t count)
{
    const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
    __m128i tmp = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state));
    __m128i state1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4));
    tmp = _mm_shuffle_epi32(tmp, 0xB1);               // CDAB
    state1 = _mm_shuffle_epi32(state1, 0x1B);         // EFGH
    __m128i state0 = _mm_alignr_epi8(tmp, state1, 8); // ABEF
    state1 = _mm_blend_epi16(state1, tmp, 0xF0);      // CDGH

    for (; count > 0; --count, data += 64) {
        const __m128i abef = state0;
        const __m128i cdgh = state1;
        __m128i w[4];
#pragma GCC unroll 16
        for (int i = 0; i < 16; ++i) {
            __m128i& current = w[i % 4];
            if (i < 4) {
                current = _mm_shuffle_epi8(
                    _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * i)), byteSwap);
            } else {
                // w[t] = s1(w[t-2]) + w[t-7] + s0(w[t-15]) + w[t-16], four words at a time.
                const __m128i& last = w[(i + 3) % 4];
                const __m128i before = _mm_alignr_epi8(last, w[(i + 2) % 4], 4);
                current = _mm_sha256msg2_epu32(
                    _mm_add_epi32(_mm_sha256msg1_epu32(current, w[(i + 1) % 4]), before), last);
            }
            __m128i msg =
                _mm_add_epi32(current, _mm_load_si128(reinterpret_cast<const __m128i*>(K + 4 * i)));
            state1 = _mm_sha256rnds2_epu32(state1, state0, msg);
            msg = _mm_shuffle_epi32(msg, 0x0E);
            state0 = _mm_sha256rnds2_epu32(state0, state1, msg);
        }
        state0 = _mm_add_epi32(state0, abef);
        state1 = _mm_add_epi32(state1, cdgh);
    }

    tmp = _mm_shuffle_epi32(state0, 0x1B);       // FEBA
    state1 = _mm_shuffle_epi32(state1, 0xB1);    // DCHG
    state0 = _mm_blend_epi16(tmp, state1, 0xF0); // DCBA
    state1 = _mm_alignr_epi8(state1, tmp, 8);    // HGFE
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state), state0);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), state1);
}
#endif

} // namespace

ContentHash::ContentHash()
{
#ifdef QUIRELLE_SHA_NI
    static const bool fast = haveShaInstructions();
    m_fast = fast;
#endif
    m_state = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
               0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
}

void ContentHash::blocks(const unsigned char* data, size_t count)
{
#ifdef QUIRELLE_SHA_NI
    shaBlocks(m_state.data(), data, count);
#else
    Q_UNUSED(data);
    Q_UNUSED(count);
#endif
}

void ContentHash::addData(const char* data, qsizetype size)
{
    if (!m_fast) {
        m_portable.addData(QByteArrayView(data, size));
        return;
    }
    auto* bytes = reinterpret_cast<const unsigned char*>(data);
    auto left = static_cast<size_t>(size);
    m_total += left;
    if (m_pendingSize > 0) {
        const size_t take = std::min(left, m_pending.size() - m_pendingSize);
        std::memcpy(m_pending.data() + m_pendingSize, bytes, take);
        m_pendingSize += take;
        bytes += take;
        left -= take;
        if (m_pendingSize < m_pending.size())
            return;
        blocks(m_pending.data(), 1);
        m_pendingSize = 0;
    }
    blocks(bytes, left / 64);
    bytes += left / 64 * 64;
    m_pendingSize = left % 64;
    std::memcpy(m_pending.data(), bytes, m_pendingSize);
}

QString ContentHash::hex()
{
    if (!m_fast)
        return QString::fromLatin1(m_portable.result().toHex());
    // The padding: a 1 bit, zeros, and the length in bits, big-endian, ending a block.
    const std::uint64_t bits = m_total * 8;
    unsigned char tail[128] = {0x80};
    const size_t padding = (m_pendingSize < 56 ? 56 : 120) - m_pendingSize;
    for (int i = 0; i < 8; ++i)
        tail[padding + static_cast<size_t>(i)] = static_cast<unsigned char>(bits >> (56 - 8 * i));
    const std::uint64_t total = m_total;
    addData(reinterpret_cast<const char*>(tail), static_cast<qsizetype>(padding + 8));
    m_total = total;
    QByteArray digest(32, Qt::Uninitialized);
    for (int i = 0; i < 8; ++i) {
        for (int b = 0; b < 4; ++b)
            digest[4 * i + b] = static_cast<char>(m_state[static_cast<size_t>(i)] >> (24 - 8 * b));
    }
    return QString::fromLatin1(digest.toHex());
}

} // namespace quirelle::paper
