// The yardstick of the search benchmarks: the same rows read by one plain SQLite statement on
// the same file, through a connection of its own with nothing of the program's (SQLite's own
// `like` and NOCASE in place of the dialect's rules, which give the same rows on the generated
// projects). A window's figure is compared with it in the same run and in processor time, so
// that the load of the machine weighs on both alike.
#pragma once

#include "benchcommon.h"
#include "db/listline.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>

#include <sqlite3.h>

#include <cstdio>
#include <vector>

namespace quirelle::bench {

class PlainQuery
{
public:
    explicit PlainQuery(const QString& path)
    {
        if (sqlite3_open_v2(QFile::encodeName(path).constData(), &m_db, SQLITE_OPEN_READONLY,
                            nullptr) != SQLITE_OK) {
            std::fprintf(stderr, "cannot open %s: %s\n", qPrintable(path), sqlite3_errmsg(m_db));
            sqlite3_close(m_db);
            m_db = nullptr;
        }
    }
    ~PlainQuery() { sqlite3_close(m_db); }
    PlainQuery(const PlainQuery&) = delete;
    PlainQuery& operator=(const PlainQuery&) = delete;

    bool isOpen() const { return m_db != nullptr; }

    // Runs `sql` with its text parameters under one read transaction and reads every value of
    // every row as text. Returns the lines "<first value> : <second value>" of a statement that
    // selects an id and a text, else each row's values joined.
    QStringList lines(const char* sql, const QStringList& params = {})
    {
        QStringList out;
        if (!m_db)
            return out;
        sqlite3_exec(m_db, "BEGIN", nullptr, nullptr, nullptr);
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(m_db, sql, -1, &s, nullptr) != SQLITE_OK) {
            std::fprintf(stderr, "plain query: %s\n", sqlite3_errmsg(m_db));
            sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr);
            return out;
        }
        for (int i = 0; i < params.size(); ++i) {
            const QByteArray utf8 = params[i].toUtf8();
            sqlite3_bind_text(s, i + 1, utf8.constData(), static_cast<int>(utf8.size()),
                              SQLITE_TRANSIENT);
        }
        const int columns = sqlite3_column_count(s);
        while (sqlite3_step(s) == SQLITE_ROW) {
            QStringList values;
            for (int c = 0; c < columns; ++c) {
                const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s, c));
                values << QString::fromUtf8(text, sqlite3_column_bytes(s, c));
            }
            if (columns == 2)
                out << ListLine::format(values[0].toInt(), values[1]);
            else
                out << values.join(QLatin1Char('|'));
        }
        sqlite3_finalize(s);
        sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr);
        return out;
    }

    // The median processor time of `runs` runs of lines().
    double cpuTimeMs(int runs, const char* sql, const QStringList& params = {})
    {
        std::vector<double> times;
        for (int i = 0; i < runs; ++i) {
            const double start = cpuMs();
            lines(sql, params);
            times.push_back(cpuMs() - start);
        }
        return median(times);
    }

private:
    sqlite3* m_db = nullptr;
};

// The plain statements that give the lines of each search of the search window, the paper's id
// and title, in the same order. ?1 is the typed text between % wildcards, or the picked item's
// id. The word report runs the title, quotation and keyword searches too.
namespace searchSql {
constexpr const char* Title = R"(SELECT "Paper ID", Title FROM Papers WHERE Title LIKE ?1)";
constexpr const char* Rating = R"(SELECT "Paper ID", Title FROM Papers WHERE Rating LIKE ?1)";
constexpr const char* AuthorTyped = R"(SELECT p."Paper ID", p.Title FROM Authors a
    JOIN "Paper Authors List" l ON l."Author ID" = CAST(a."Author ID" AS TEXT)
    JOIN Papers p ON p."Paper ID" = CAST(l."Paper ID" AS INTEGER)
    WHERE a.Surname LIKE ?1 ORDER BY a.rowid, l.rowid)";
constexpr const char* AuthorPicked = R"(SELECT p."Paper ID", p.Title FROM "Paper Authors List" l
    JOIN Papers p ON p."Paper ID" = CAST(l."Paper ID" AS INTEGER)
    WHERE l."Author ID" = ?1 ORDER BY l.rowid)";
constexpr const char* ModelTyped = R"(SELECT p."Paper ID", p.Title FROM Models m
    JOIN "Paper Models List" l ON l."Model ID" = CAST(m."Model ID" AS TEXT)
    JOIN Papers p ON p."Paper ID" = CAST(l."Paper ID" AS INTEGER)
    WHERE m.Model LIKE ?1 ORDER BY m.rowid, l.rowid)";
constexpr const char* ModelPicked = R"(SELECT p."Paper ID", p.Title FROM "Paper Models List" l
    JOIN Papers p ON p."Paper ID" = CAST(l."Paper ID" AS INTEGER)
    WHERE l."Model ID" = ?1 ORDER BY l.rowid)";
constexpr const char* Quotation = R"(SELECT p."Paper ID", p.Title FROM "Paper Statements List" s
    JOIN Papers p ON p."Paper ID" = CAST(s."Paper ID" AS INTEGER)
    WHERE s.Statement LIKE ?1 ORDER BY s.rowid)";
constexpr const char* KeywordTyped = R"(SELECT p."Paper ID", p.Title FROM "Paper Keywords List" l
    JOIN Papers p ON p."Paper ID" = CAST(l."Paper ID" AS INTEGER)
    WHERE l."Keywords ID" = (SELECT "Keyword ID" FROM Keywords WHERE Keyword LIKE ?1
                             ORDER BY rowid LIMIT 1)
    ORDER BY l.rowid)";
constexpr const char* KeywordPicked = R"(SELECT p."Paper ID", p.Title FROM "Paper Keywords List" l
    JOIN Papers p ON p."Paper ID" = CAST(l."Paper ID" AS INTEGER)
    WHERE l."Keywords ID" = ?1 ORDER BY l.rowid)";
} // namespace searchSql

// A window's processor time against the plain statement's: PASS when it takes at most `factor`
// times as long, give or take `allowanceMs` for what the window does besides reading. Counts a
// miss towards the benchmark's verdict.
inline void reportAgainstPlain(const char* what, double cpuMs, double plainCpuMs, double factor,
                               double allowanceMs)
{
    const bool pass = cpuMs <= factor * plainCpuMs + allowanceMs;
    std::printf("%-52s cpu %8.2f ms  plain %7.2f ms  x%-5.2f (< x%.0f + %.0f ms) %s\n", what, cpuMs,
                plainCpuMs, plainCpuMs > 0 ? cpuMs / plainCpuMs : 0.0, factor, allowanceMs,
                pass ? "PASS" : "FAIL");
    if (!pass)
        ++missedGoals();
}

} // namespace quirelle::bench
