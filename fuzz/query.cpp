// The query dialect's translator under the fuzzer: any text as a query on a table with a number
// field and text fields, with two values for its `?`.
#include "db/dberror.h"
#include "db/jetsql.h"

#include <cstddef>
#include <cstdint>

using namespace quirelle::db;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const TableInfo papers{QStringLiteral("Papers"),
                                  {{QStringLiteral("Paper ID"), FieldType::Long, 0, true, true},
                                   {QStringLiteral("Title"), FieldType::Text, 255},
                                   {QStringLiteral("Notes"), FieldType::Memo}}};
    const auto lookup = [](const QString& name) -> const TableInfo& {
        if (name.compare(papers.name, Qt::CaseInsensitive) != 0)
            throw DbError(err::UnknownTable, name);
        return papers;
    };
    const QString query =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    try {
        translateSelect(query, lookup, {QStringLiteral("Smith"), 1998});
    } catch (const DbError&) {
        // a refused query is an answer
    }
    return 0;
}
