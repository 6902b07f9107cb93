// What the generator and the benchmarks agree on: the repeatable random numbers, the counts of a
// full-size project, and the probe records whose links are known in advance.
#pragma once

#include <QtGlobal>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <vector>

namespace quirelle::bench {

// Wall-clock milliseconds, for the difference of two readings.
inline double nowMs()
{
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

// The processor time the calling thread has spent, in milliseconds: a busy machine changes it
// less than the time on the clock, so figures compared with each other use it. The program's
// own background work (the check of the file on opening) runs on other threads and is left out.
inline double cpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1000.0 + t.tv_nsec / 1e6;
}

inline double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// How many figures of this run missed their goal; a benchmark's exit status says whether any did.
inline int& missedGoals()
{
    static int missed = 0;
    return missed;
}

// One line of a benchmark's table: the figure, and PASS or FAIL against a goal when there is one.
inline void report(const char* what, double ms, double goal)
{
    if (goal > 0) {
        std::printf("%-58s %9.2f ms  < %4.0f ms  %s\n", what, ms, goal,
                    ms < goal ? "PASS" : "FAIL");
        if (ms >= goal)
            ++missedGoals();
    } else {
        std::printf("%-58s %9.2f ms\n", what, ms);
    }
}

// The exit status of a benchmark: 0 when every goal was met.
inline int verdict()
{
    if (missedGoals() > 0)
        std::printf("\n%d figure(s) missed their goal\n", missedGoals());
    return missedGoals() > 0 ? 1 : 0;
}

// splitmix64: the same numbers on every platform and library version, which the standard
// distributions do not promise.
class Random
{
public:
    explicit Random(quint64 seed) : m_state(seed) {}

    quint64 next()
    {
        quint64 z = (m_state += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }
    // In [0, n), n > 0.
    int below(int n) { return static_cast<int>(((next() >> 32) * static_cast<quint64>(n)) >> 32); }
    // In [low, high].
    int between(int low, int high) { return low + below(high - low + 1); }
    bool percent(int p) { return below(100) < p; }
    template<typename T, size_t N>
    const T& pick(const T (&items)[N])
    {
        return items[below(static_cast<int>(N))];
    }

private:
    quint64 m_state;
};

inline constexpr quint64 GeneratorSeed = 0x51554952454c4c45ULL;
inline constexpr quint64 BenchSeed = 0x42454e4348ULL;

struct Counts
{
    int papers = 50000;
    int authors = 20000;
    int keywords = 2000;
    int models = 500;
    int authorLinks = 150000;
    int keywordLinks = 100000;
    int references = 100000;
    int quotations = 100000;
    int meetings = 1000;
    int hours = 5000;

    Counts scaled(double f) const
    {
        const auto s = [f](int n) { return std::max(1, static_cast<int>(std::lround(n * f))); };
        return {s(papers),       s(authors),    s(keywords),   s(models),   s(authorLinks),
                s(keywordLinks), s(references), s(quotations), s(meetings), s(hours)};
    }
};

// Below this the probe records no longer fit in the tables.
inline constexpr double MinimumScale = 0.1;

// The probe records. Random links never touch them, so their counts are exact.
namespace probe {
// Paper 1234: 10 authors, 10 keywords, cites 20 papers, is cited by 30, has 50 quotations.
inline constexpr int Paper = 1234;
inline constexpr int PaperAuthors = 10;
inline constexpr int PaperKeywords = 10;
inline constexpr int PaperReferences = 20;
inline constexpr int PaperCitations = 30;
inline constexpr int PaperQuotations = 50;
// Paper 4321: no authors, keywords, references, citations or quotations at all.
inline constexpr int EmptyPaper = 4321;
// Author 777 wrote exactly 200 papers.
inline constexpr int Author = 777;
inline constexpr int AuthorPapers = 200;
// Keyword 42 is linked to exactly 500 papers.
inline constexpr int Keyword = 42;
inline constexpr int KeywordPapers = 500;
// The rare word: in 36 titles ("Zephyrine", capitalised), 24 quotations (lower case) and one
// keyword, number 150 ("Zephyrine drift"), which is linked to 12 papers. Nothing else has it.
inline constexpr const char* RareWord = "zephyrine";
inline constexpr int RareTitles = 36;
inline constexpr int RareQuotations = 24;
inline constexpr int RareKeyword = 150;
inline constexpr int RareKeywordPapers = 12;
} // namespace probe

} // namespace quirelle::bench
