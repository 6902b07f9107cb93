// Engine errors: every failure of the project database layer is thrown as a DbError that
// carries a number (the dialect's error numbers, so callers can test for 3022 and the like)
// and a description fit to show to the user.
#pragma once

#include <QString>

#include <stdexcept>

namespace quirelle::db {

namespace err {
inline constexpr int NoCurrentRecord = 3021;
inline constexpr int UpdateWithoutEdit = 3020;
inline constexpr int Duplicate = 3022;
inline constexpr int FileNotFound = 3024;
inline constexpr int DiskFull = 3026;
inline constexpr int ReadOnly = 3027;
inline constexpr int NotAValidPath = 3044;
inline constexpr int TableExists = 3010;
inline constexpr int Syntax = 3075;
inline constexpr int UnknownTable = 3078;
inline constexpr int UnknownField = 3070;
inline constexpr int FieldTooSmall = 3163;
inline constexpr int RecordDeleted = 3167;
inline constexpr int DatabaseExists = 3204;
inline constexpr int NotInCollection = 3265;
inline constexpr int ZeroLength = 3315;
inline constexpr int NotADatabase = 3343;
inline constexpr int TypeMismatch = 3464;
inline constexpr int NotUpdatable = 3326;
inline constexpr int DatabaseClosed = 3420;
inline constexpr int Generic = 3000;
inline constexpr int Locked = 3260; // another program holds the file
} // namespace err

class DbError : public std::runtime_error
{
public:
    DbError(int number, const QString& description)
        : std::runtime_error(description.toStdString())
        , m_number(number)
        , m_description(description)
    {}

    int number() const { return m_number; }
    const QString& description() const { return m_description; }

private:
    int m_number;
    QString m_description;
};

} // namespace quirelle::db
