// The project schema: one table of descriptions, read by the creation routine.
#include "db/schema.h"

#include "db/dberror.h"
#include "db/pgconnection.h"
#include "fulltext/data/fulltextindex.h"

namespace quirelle::db {

namespace {

// One row of the description: a field with its type, size and flags, and its index if any.
struct FieldRow
{
    const char* name;
    FieldType type;
    int size;
    bool autoNumber;
    bool allowZeroLength;
    const char* index; // nullptr: no index
    bool primary;
};

struct TableRow
{
    const char* name;
    std::vector<FieldRow> fields;
};

constexpr auto Long = FieldType::Long;
constexpr auto Text = FieldType::Text;
constexpr auto Memo = FieldType::Memo;

// clang-format off
const std::vector<TableRow>& description()
{
    static const std::vector<TableRow> rows{
        {"Authors", {
            {"Author ID", Long, 0, true, false, "Author ID Index", false},
            {"Surname", Text, 30, false, true, nullptr, false},
            {"Forenames", Text, 30, false, true, nullptr, false},
            {"Occupation", Text, 30, false, true, nullptr, false},
            {"Location", Text, 50, false, true, nullptr, false}}},
        {"Keywords", {
            {"Keyword ID", Long, 0, true, false, "Keyword ID Index", false},
            {"Keyword", Text, 50, false, false, "Keyword Index", false},
            {"Definition", Memo, 0, false, true, nullptr, false},
            {"Origin", Text, 50, false, true, nullptr, false}}},
        {"Master", {
            {"ToDos", Memo, 0, false, true, nullptr, false}}},
        {"Meeting", {
            {"Counter", Long, 0, true, false, "Counter Index", true},
            {"Date", Text, 8, false, true, nullptr, false},
            {"Time", Text, 5, false, true, nullptr, false},
            {"Location", Text, 30, false, true, nullptr, false},
            {"Those Present", Text, 50, false, true, nullptr, false},
            {"Subject", Text, 50, false, true, nullptr, false},
            {"Outcome", Memo, 0, false, true, nullptr, false}}},
        {"Models", {
            {"Model ID", Long, 0, true, false, "Model ID Index", true},
            {"Model", Text, 100, false, false, nullptr, false},
            {"Creator", Text, 40, false, true, nullptr, false},
            {"Year", Text, 4, false, true, nullptr, false},
            {"Sphere", Text, 30, false, true, nullptr, false},
            {"Details", Memo, 0, false, true, nullptr, false}}},
        {"Paper Authors List", {
            {"Paper ID", Text, 50, false, false, "Paper ID Index", false},
            {"Author ID", Text, 50, false, false, "Author ID Index", false}}},
        {"Paper Keywords List", {
            {"Keywords ID", Long, 0, true, false, "Keywords ID Index", false},
            {"Paper ID", Text, 50, false, false, "Paper ID Index", false},
            {"Keyword", Text, 30, false, false, "Keyword Index", false}}},
        {"Paper Models List", {
            {"Paper ID", Text, 50, false, false, "Paper ID Index", false},
            {"Model ID", Text, 50, false, false, "Model ID Index", false}}},
        {"Paper References List", {
            {"Reference ID", Long, 0, true, false, "Reference ID Index", false},
            {"Paper ID", Text, 50, false, false, "Paper ID Index", false}}},
        {"Paper Statements List", {
            {"Statements ID", Long, 0, true, false, "Statements ID Index", false},
            {"Paper ID", Text, 50, false, false, "Paper ID Index", false},
            {"Statement", Memo, 0, false, true, nullptr, false}}},
        {"Papers", {
            {"Paper ID", Long, 0, true, false, "Paper ID Index", true},
            {"Title", Text, 100, false, false, nullptr, false},
            {"Year", Text, 4, false, true, nullptr, false},
            {"Summary", Memo, 0, false, true, nullptr, false},
            {"Status", Text, 20, false, true, nullptr, false},
            {"Rating", Text, 2, false, true, nullptr, false},
            {"Publication Type", Text, 100, false, true, nullptr, false},
            {"Publication name", Text, 255, false, true, nullptr, false}}},
        {"Time Management", {
            {"Counter", Long, 0, true, false, "Counter Index", true},
            {"Time", Text, 20, false, true, nullptr, false},
            {"Subject", Text, 50, false, true, nullptr, false}}},
    };
    return rows;
}

// Values of a paper that have no field of their own, or do not fit the one they have (a title
// longer than the field holds, a DOI, the citation key an exchange format gave it).
const std::vector<TableRow>& addedDescription()
{
    static const std::vector<TableRow> rows{
        {"Paper Extra Fields", {
            {"Paper ID", Text, 50, false, false, "Paper ID Index", false},
            {"Field Name", Text, 100, false, false, nullptr, false},
            {"Value", Memo, 0, false, true, nullptr, false}}},
        // The files of a paper: "attached" copies in the folder beside the project and "linked"
        // files where they are; the path is relative to the project's folder when inside it.
        {"Paper Files", {
            {"File ID", Long, 0, true, false, "File ID Index", true},
            {"Paper ID", Text, 50, false, false, "Paper ID Index", false},
            {"Path", Memo, 0, false, false, nullptr, false},
            {"Kind", Text, 10, false, false, nullptr, false},
            {"Size", Text, 20, false, true, nullptr, false},
            {"Modified", Text, 25, false, true, nullptr, false},
            {"Content Hash", Text, 64, false, true, nullptr, false},
            {"Date Added", Text, 25, false, true, nullptr, false}}},
    };
    return rows;
}
// clang-format on

std::vector<TableDef> tableDefs(const std::vector<TableRow>& rows)
{
    std::vector<TableDef> out;
    for (const TableRow& row : rows) {
        TableDef t{QString::fromUtf8(row.name), {}, {}};
        for (const FieldRow& f : row.fields) {
            FieldDef field;
            field.name = QString::fromUtf8(f.name);
            field.type = f.type;
            field.size = f.size;
            field.attributes = f.autoNumber ? FieldDef::AutoIncrement : 0;
            field.allowZeroLength = f.allowZeroLength;
            t.fields.push_back(field);
            if (f.index)
                t.indexes.push_back({QString::fromUtf8(f.index), field.name, f.primary});
        }
        out.push_back(std::move(t));
    }
    return out;
}

} // namespace

const std::vector<TableDef>& projectTables()
{
    static const std::vector<TableDef> tables = tableDefs(description());
    return tables;
}

const std::vector<TableDef>& addedTables()
{
    static const std::vector<TableDef> tables = tableDefs(addedDescription());
    return tables;
}

void createMissingAddedTables(Database& database)
{
    for (const TableDef& t : addedTables()) {
        if (!tableExists(database, t.name))
            createTable(database, t);
    }
}

bool tableExists(const Database& database, const QString& name)
{
    try {
        database.TableDefs(name);
        return true;
    } catch (const DbError&) {
        return false;
    }
}

void createTable(Database& database, const TableDef& table)
{
    database.appendTableDef(table);
}

void createMissingTables(Database& database)
{
    for (const TableDef& t : projectTables()) {
        if (!tableExists(database, t.name))
            createTable(database, t);
    }
}

void createProjectFile(const QString& pathWithoutExtension)
{
    auto database = Database::CreateDatabase(pathWithoutExtension,
                                             QStringLiteral(";LANGID=0x0409;CP=1252;COUNTRY=0"));
    createMissingTables(*database);
    createMissingAddedTables(*database);
    database->Close();
}

void createServerProject(const QString& address)
{
    if (!isServerAddress(address))
        throw DbError(err::NotAValidPath,
                      QStringLiteral("'%1' is not the address of a database server.").arg(address));
    auto database = Database::OpenDatabase(address);
    if (database->readOnly())
        throw DbError(err::ReadOnly, QStringLiteral("Cannot update. Database or object is "
                                                    "read-only."));
    std::vector<TableDef> tables = projectTables();
    tables.insert(tables.end(), addedTables().begin(), addedTables().end());
    for (const TableDef& t : tables) {
        if (tableExists(*database, t.name))
            throw DbError(err::TableExists,
                          QStringLiteral("The database already holds a project: table '%1' "
                                         "already exists.")
                              .arg(t.name));
    }
    Transaction transaction(*database);
    createServerHelpers(*database);
    for (const TableDef& t : tables)
        createTable(*database, t);
    createServerSearchIndexes(*database);
    fulltext::createMissingIndexTables(*database);
    transaction.commit();
    database->Close();
}

} // namespace quirelle::db
