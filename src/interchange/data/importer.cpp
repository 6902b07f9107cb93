// Importing references into the project.
#include "interchange/data/importer.h"

#include "db/dberror.h"
#include "db/recordset.h"
#include "interchange/data/extrafields.h"
#include "interchange/data/filefield.h"
#include "interchange/data/mapping.h"
#include "interchange/data/sourcetext.h"
#include "paper/data/paperfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>

namespace quirelle::interchange {

namespace {

QString fold(const QString& text)
{
    return text.toCaseFolded();
}

// A title as the duplicate test compares it: letters and digits only, letter case aside.
QString titleKey(const QString& title)
{
    QString out;
    const QString t = title.normalized(QString::NormalizationForm_C).toCaseFolded();
    out.reserve(t.size());
    for (const QChar c : t) {
        if (c.isLetterOrNumber())
            out += c;
    }
    return out;
}

QString doiKey(const QString& doi)
{
    QString d = doi.trimmed().toLower();
    for (const char* prefix : {"https://doi.org/", "http://doi.org/", "https://dx.doi.org/",
                               "http://dx.doi.org/", "doi:"}) {
        if (d.startsWith(QLatin1String(prefix))) {
            d = d.mid(static_cast<qsizetype>(qstrlen(prefix))).trimmed();
            break;
        }
    }
    return d;
}

QString nameKey(const QString& surname, const QString& forenames)
{
    return fold(surname) + QChar(0x1f) + fold(forenames);
}

QString idText(qint32 id)
{
    return QString::number(id);
}

struct Pending
{
    PaperData paper;
    int line = 0;
    qint32 duplicateOf = 0;      // the paper of the project it matches
    qint32 id = 0;               // once stored
    int cut = 0;                 // values too long for their described field
    std::vector<FileLink> files; // the files its `file` field names
};

// The files an entry names, linked where they are when they are on this computer: a relative
// path is taken from the imported file's folder. The `file` field keeps those not linked, so
// that an export writes them back.
class FileLinker final
{
public:
    FileLinker(db::Database& database, const QString& folder) : m_db(database), m_folder(folder) {}

    void link(Pending& e, const QString& keyAsWritten, ImportSummary& s)
    {
        std::vector<FileLink> kept;
        QSet<QString> seen;
        int linked = 0;
        for (const FileLink& f : e.files) {
            if (f.remote) {
                kept.push_back(f);
                continue;
            }
            const QString path = resolve(f.path);
            if (seen.contains(path))
                continue;
            const QString hash =
                path.isEmpty() || !QFileInfo(path).isFile() ? QString() : paper::contentHash(path);
            if (hash.isEmpty()) {
                kept.push_back(f);
                s.filesNotFound.push_back(
                    {s.file, e.line, keyAsWritten, QDir::toNativeSeparators(f.path)});
                continue;
            }
            seen.insert(path);
            if (!m_rows)
                m_rows.emplace(m_db, paper::FileFolders(m_db.path()));
            m_rows->add(e.id, path, paper::FileKind::Linked, hash);
            ++linked;
        }
        s.filesLinked += linked;
        if (!linked)
            return; // the field stays as it was written
        auto& extras = e.paper.extras;
        extras.removeIf([](const auto& field) { return field.first == u"file"; });
        if (!kept.empty())
            extras.append({QStringLiteral("file"), fileFieldText(kept)});
    }

private:
    // The file's absolute path, or "" when a relative path has no folder to start from.
    QString resolve(const QString& path) const
    {
        if (QDir::isAbsolutePath(path))
            return QDir::cleanPath(path);
        if (m_folder.isEmpty())
            return {};
        return QDir::cleanPath(QDir(m_folder).absoluteFilePath(path));
    }

    db::Database& m_db;
    QString m_folder;
    std::optional<paper::FileRows> m_rows;
};

// What the import needs to know of the project, read once, kept only for the file's entries.
class ProjectIndex final
{
public:
    ProjectIndex(db::Database& database, std::vector<Pending>& entries) : m_db(database)
    {
        QHash<QString, QList<size_t>> byDoi, byKey, byTitle;
        for (size_t i = 0; i < entries.size(); ++i) {
            const PaperData& p = entries[i].paper;
            if (const QString doi = doiKey(p.extraValue(u"doi")); !doi.isEmpty())
                byDoi[doi] << i;
            if (!p.key.isEmpty())
                byKey[fold(p.key)] << i;
            byTitle[titleKey(p.title) + QChar(0x1f) + p.year] << i;
            for (const AuthorName& a : p.authors)
                m_authors.insert(nameKey(a.surname, a.forenames), 0);
            for (const QString& k : p.keywords)
                m_keywords.insert(fold(k), 0);
        }

        std::vector<std::pair<size_t, qint32>> doiMatches, keyMatches;
        db::RowStream extras(
            m_db, ExtraFieldsTable,
            {QStringLiteral("Paper ID"), QStringLiteral("Field Name"), QStringLiteral("Value")});
        while (extras.next()) {
            const QString name = extras.text(1);
            const bool isDoi = name == u"doi";
            const bool isCites = name == extra::Cites;
            if (!isDoi && !isCites && name != extra::CitationKey)
                continue;
            bool ok = false;
            const qint32 paper = extras.text(0).toInt(&ok);
            if (!ok)
                continue;
            const QString value = extras.text(2);
            if (isDoi) {
                for (size_t i : byDoi.value(doiKey(value)))
                    doiMatches.emplace_back(i, paper);
            } else if (isCites) {
                m_unresolved.emplace_back(paper, value);
            } else {
                const QString k = fold(value);
                for (size_t i : byKey.value(k))
                    keyMatches.emplace_back(i, paper);
                if (!m_projectKeys.contains(k))
                    m_projectKeys.insert(k, paper);
            }
        }
        QSet<qint32> matched; // papers whose title a duplicate names
        for (const auto& [i, paper] : doiMatches)
            matched.insert(paper);
        for (const auto& [i, paper] : keyMatches)
            matched.insert(paper);

        // Papers whose title and year match an entry: their first author decides.
        std::vector<std::pair<size_t, qint32>> titleMatches;
        db::RowStream papers(
            m_db, QStringLiteral("Papers"),
            {QStringLiteral("Paper ID"), QStringLiteral("Title"), QStringLiteral("Year")});
        while (papers.next()) {
            const qint32 paper = static_cast<qint32>(papers.number(0));
            const QString title = papers.text(1);
            const QString key = titleKey(title) + QChar(0x1f) + papers.text(2);
            const auto it = byTitle.constFind(key);
            if (it != byTitle.constEnd()) {
                for (size_t i : *it)
                    titleMatches.emplace_back(i, paper);
            }
            if (it != byTitle.constEnd() || matched.contains(paper))
                m_titles.insert(paper, title);
        }
        QHash<qint32, qint32> firstAuthorOf; // paper, author (0: none)
        for (const auto& [i, paper] : titleMatches) {
            if (firstAuthorOf.contains(paper))
                continue;
            db::RowStream links(m_db, QStringLiteral("Paper Authors List"),
                                {QStringLiteral("Author ID")}, QStringLiteral("Paper ID"),
                                idText(paper));
            firstAuthorOf.insert(paper, links.next() ? static_cast<qint32>(links.number(0)) : 0);
        }
        QSet<qint32> wantedSurnames;
        for (const qint32 a : std::as_const(firstAuthorOf))
            wantedSurnames.insert(a);
        QHash<qint32, QString> surnames;
        db::RowStream authors(
            m_db, QStringLiteral("Authors"),
            {QStringLiteral("Author ID"), QStringLiteral("Surname"), QStringLiteral("Forenames")});
        while (authors.next()) {
            const qint32 id = static_cast<qint32>(authors.number(0));
            const QString surname = authors.text(1);
            if (wantedSurnames.contains(id))
                surnames.insert(id, fold(surname));
            if (auto it = m_authors.find(nameKey(surname, authors.text(2)));
                it != m_authors.end() && !*it)
                *it = id;
        }
        db::RowStream keywords(m_db, QStringLiteral("Keywords"),
                               {QStringLiteral("Keyword ID"), QStringLiteral("Keyword")});
        while (keywords.next()) {
            if (auto it = m_keywords.find(fold(keywords.text(1))); it != m_keywords.end() && !*it)
                *it = static_cast<qint32>(keywords.number(0));
        }

        // The DOIs match; else the citation keys; else title, year and first author.
        for (const auto& [i, paper] : doiMatches) {
            if (!entries[i].duplicateOf)
                entries[i].duplicateOf = paper;
        }
        // A key alone is no proof: keys like "Wendrake2003" are given to unrelated papers.
        for (const auto& [i, paper] : keyMatches) {
            if (!entries[i].duplicateOf &&
                titleKey(m_titles.value(paper)) == titleKey(entries[i].paper.title))
                entries[i].duplicateOf = paper;
        }
        for (const auto& [i, paper] : titleMatches) {
            if (entries[i].duplicateOf)
                continue;
            const auto& authors = entries[i].paper.authors;
            const QString surname = authors.empty() ? QString() : fold(authors.front().surname);
            if (surnames.value(firstAuthorOf.value(paper)) == surname)
                entries[i].duplicateOf = paper;
        }
    }

    // The author's id, or 0 when the project has no such author yet.
    qint32 author(const AuthorName& a) const
    {
        return m_authors.value(nameKey(a.surname, a.forenames));
    }
    void addAuthor(const AuthorName& a, qint32 id)
    {
        m_authors[nameKey(a.surname, a.forenames)] = id;
    }
    qint32 keyword(const QString& k) const { return m_keywords.value(fold(k)); }
    void addKeyword(const QString& k, qint32 id) { m_keywords[fold(k)] = id; }
    // The paper of the project with that citation key, or 0.
    qint32 projectPaper(const QString& key) const { return m_projectKeys.value(fold(key)); }
    // The citation keys of the project, folded.
    QSet<QString> projectKeys() const
    {
        QSet<QString> keys;
        keys.reserve(m_projectKeys.size());
        for (auto it = m_projectKeys.cbegin(); it != m_projectKeys.cend(); ++it)
            keys.insert(it.key());
        return keys;
    }
    // The title of a paper an entry duplicates.
    QString title(qint32 paper) const { return m_titles.value(paper); }
    // The papers of the project with cited keys that named no paper when they were stored.
    const std::vector<std::pair<qint32, QString>>& unresolved() const { return m_unresolved; }

private:
    db::Database& m_db;
    QHash<QString, qint32> m_authors;
    QHash<QString, qint32> m_keywords;
    QHash<QString, qint32> m_projectKeys;
    QHash<qint32, QString> m_titles;
    std::vector<std::pair<qint32, QString>> m_unresolved;
};

// Writes the rows of new papers, each table through one prepared statement.
class Writer final
{
public:
    explicit Writer(db::Database& database)
        : m_papers(database, QStringLiteral("Papers"),
                   {QStringLiteral("Title"), QStringLiteral("Year"), QStringLiteral("Summary"),
                    QStringLiteral("Status"), QStringLiteral("Rating"),
                    QStringLiteral("Publication Type"), QStringLiteral("Publication name")})
        , m_authors(database, QStringLiteral("Authors"),
                    {QStringLiteral("Surname"), QStringLiteral("Forenames"),
                     QStringLiteral("Occupation"), QStringLiteral("Location")})
        , m_keywords(database, QStringLiteral("Keywords"), {QStringLiteral("Keyword")})
        , m_authorLinks(database, QStringLiteral("Paper Authors List"),
                        {QStringLiteral("Paper ID"), QStringLiteral("Author ID")})
        , m_keywordLinks(database, QStringLiteral("Paper Keywords List"),
                         {QStringLiteral("Paper ID"), QStringLiteral("Keywords ID")})
        , m_references(database, QStringLiteral("Paper References List"),
                       {QStringLiteral("Paper ID"), QStringLiteral("Reference ID")})
        , m_statements(database, QStringLiteral("Paper Statements List"),
                       {QStringLiteral("Paper ID"), QStringLiteral("Statement")})
        , m_extras(
              database, ExtraFieldsTable,
              {QStringLiteral("Paper ID"), QStringLiteral("Field Name"), QStringLiteral("Value")})
    {}

    qint32 paper(const PaperData& p)
    {
        // Fields without a value stay Null, as the paper window leaves them.
        const auto value = [](const QString& v) { return v.isEmpty() ? QVariant() : QVariant(v); };
        return static_cast<qint32>(
            m_papers.add({p.title, value(p.year), value(p.summary), value(p.status),
                          value(p.rating), value(p.publicationType), value(p.publicationName)}));
    }

    void extra(qint32 paper, const QString& name, const QString& value)
    {
        m_extras.add({idText(paper), shorten(name, 100), value});
    }

    // A new author as the author editor adds one: every box written, "" when empty.
    qint32 newAuthor(const AuthorName& a)
    {
        const QString empty(QLatin1String(""));
        return static_cast<qint32>(m_authors.add({a.surname, a.forenames, empty, empty}));
    }

    // A new keyword as the keyword editor adds one: definition and origin left Null.
    qint32 newKeyword(const QString& k) { return static_cast<qint32>(m_keywords.add({k})); }

    // Links as the paper window writes them: the paper's id and the other id as text, the
    // keyword's and the cited paper's id into the numbered field.
    void authorLink(qint32 paper, qint32 author)
    {
        m_authorLinks.add({idText(paper), idText(author)});
    }
    void keywordLink(qint32 paper, qint32 keyword) { m_keywordLinks.add({idText(paper), keyword}); }
    void reference(qint32 citing, qint32 cited) { m_references.add({idText(citing), cited}); }
    void statement(qint32 paper, const QString& text) { m_statements.add({idText(paper), text}); }

private:
    db::RowWriter m_papers;
    db::RowWriter m_authors;
    db::RowWriter m_keywords;
    db::RowWriter m_authorLinks;
    db::RowWriter m_keywordLinks;
    db::RowWriter m_references;
    db::RowWriter m_statements;
    db::RowWriter m_extras;
};

// A key not yet taken in the file: the key, or the key with a letter after it.
QString unusedKey(const QString& key, const QSet<QString>& taken)
{
    if (!taken.contains(fold(key)))
        return key;
    for (int n = 0;; ++n) {
        QString suffix;
        for (int k = n; k >= 0; k = k / 26 - 1)
            suffix.prepend(QChar(u'a' + k % 26));
        if (!taken.contains(fold(key + suffix)))
            return key + suffix;
    }
}

// Papers stored earlier kept the cited keys that named no paper then: those the project has
// now become links, the others stay kept.
void resolveEarlierCitations(db::Database& database, const ProjectIndex& index,
                             const QHash<QString, qint32>& fileKeys, Writer& writer,
                             ImportSummary& s)
{
    for (const auto& [citing, value] : index.unresolved()) {
        QStringList rest;
        QList<qint32> found;
        for (const QString& k : value.split(QLatin1Char(','))) {
            const QString key = k.trimmed();
            if (key.isEmpty())
                continue;
            // A key the project had names its paper; one of the file's entries only else.
            qint32 paper = index.projectPaper(key);
            if (!paper)
                paper = fileKeys.value(fold(key));
            if (paper && paper != citing)
                found << paper;
            else
                rest << key;
        }
        if (found.isEmpty())
            continue;
        QSet<qint32> cited;
        db::RowStream links(database, QStringLiteral("Paper References List"),
                            {QStringLiteral("Reference ID")}, QStringLiteral("Paper ID"),
                            idText(citing));
        while (links.next())
            cited.insert(static_cast<qint32>(links.number(0)));
        for (const qint32 paper : std::as_const(found)) {
            if (cited.contains(paper))
                continue;
            cited.insert(paper);
            writer.reference(citing, paper);
            ++s.referencesAdded;
        }
        db::Recordset rs = database.OpenRecordset(
            QStringLiteral("select * from [Paper Extra Fields] where [Paper ID] = ?;"),
            {idText(citing)});
        for (; rs.hasCurrentRow(); rs.MoveNext()) {
            if (rs[QStringLiteral("Field Name")].text() != extra::Cites ||
                rs[QStringLiteral("Value")].text() != value)
                continue;
            if (rest.isEmpty()) {
                rs.Delete();
            } else {
                rs.Edit();
                rs[QStringLiteral("Value")] = rest.join(QStringLiteral(", "));
                rs.Update();
            }
            break;
        }
    }
}

void store(db::Database& database, std::vector<Pending>& entries, ImportSummary& s,
           const QString& folder, const Progress& progress)
{
    ProjectIndex index(database, entries);
    Writer writer(database);
    FileLinker files(database, folder);

    QHash<QString, qint32> fileKeys; // citation keys of the file's entries, to their papers
    // An entry whose key a paper of the project has already is stored under another.
    QSet<QString> takenKeys = index.projectKeys();
    const qsizetype total = static_cast<qsizetype>(entries.size());
    for (qsizetype n = 0; n < total; ++n) {
        Pending& e = entries[static_cast<size_t>(n)];
        if (progress && n % 64 == 0 && !progress(n, total)) {
            s.outcome = ImportSummary::Outcome::Cancelled;
            return;
        }
        if (e.duplicateOf) {
            ++s.duplicatesSkipped;
            s.duplicates.push_back(
                {s.file, e.line, e.paper.key, e.duplicateOf, index.title(e.duplicateOf)});
            if (!e.paper.key.isEmpty() && !fileKeys.contains(fold(e.paper.key)))
                fileKeys.insert(fold(e.paper.key), e.duplicateOf);
            continue;
        }
        PaperData& p = e.paper;
        const QString keyAsWritten = p.key;
        if (!p.key.isEmpty()) {
            // Two entries under one key: the later one gets a letter, and a key no paper of
            // the project has.
            const QString key = unusedKey(p.key, takenKeys);
            if (key != p.key) {
                for (auto& [name, value] : p.extras) {
                    if (name == extra::CitationKey)
                        value = key;
                }
                p.key = key;
            }
            takenKeys.insert(fold(key));
        }
        e.id = writer.paper(p);
        ++s.papersAdded;
        s.valuesInExtraFieldsOnly += e.cut;
        // The file's own citations name the entry by the key it has there.
        for (const QString& k : {p.key, keyAsWritten}) {
            if (!k.isEmpty() && !fileKeys.contains(fold(k)))
                fileKeys.insert(fold(k), e.id);
        }
        if (!e.files.empty())
            files.link(e, keyAsWritten, s);
        for (const auto& [name, value] : p.extras)
            writer.extra(e.id, name, value);
        for (const AuthorName& a : p.authors) {
            qint32 author = index.author(a);
            if (!author) {
                author = writer.newAuthor(a);
                index.addAuthor(a, author);
                ++s.authorsAdded;
            }
            writer.authorLink(e.id, author);
        }
        for (const QString& k : p.keywords) {
            qint32 keyword = index.keyword(k);
            if (!keyword) {
                keyword = writer.newKeyword(k);
                index.addKeyword(k, keyword);
                ++s.keywordsAdded;
            }
            writer.keywordLink(e.id, keyword);
        }
        for (const QString& q : p.quotations) {
            writer.statement(e.id, q);
            ++s.quotationsAdded;
        }
    }

    // References, once every paper of the file has its number.
    for (const Pending& e : entries) {
        if (!e.id || e.paper.cites.isEmpty())
            continue;
        QStringList unresolved;
        QSet<qint32> cited;
        for (const QString& key : e.paper.cites) {
            qint32 paper = fileKeys.value(fold(key));
            if (!paper)
                paper = index.projectPaper(key);
            if (!paper) {
                unresolved << key;
                continue;
            }
            if (cited.contains(paper))
                continue;
            cited.insert(paper);
            writer.reference(e.id, paper);
            ++s.referencesAdded;
        }
        // Keys of papers not in the project are kept, to be written back on export.
        if (!unresolved.isEmpty())
            writer.extra(e.id, extra::Cites, unresolved.join(QStringLiteral(", ")));
    }
    resolveEarlierCitations(database, index, fileKeys, writer, s);
    if (progress && !progress(total, total))
        s.outcome = ImportSummary::Outcome::Cancelled;
}

void clearCounts(ImportSummary& s)
{
    s.papersAdded = s.authorsAdded = s.keywordsAdded = s.referencesAdded = s.quotationsAdded = 0;
    s.duplicatesSkipped = s.valuesInExtraFieldsOnly = s.filesLinked = 0;
    s.duplicates.clear();
    s.filesNotFound.clear();
}

} // namespace

ImportSummary importText(db::Database& database, const QString& text, Format format,
                         const QString& source, const Progress& progress, const QString& folder)
{
    ImportSummary s;
    s.file = source;
    s.format = format;
    ParseResult parsed = parse(format, text);
    for (const ParseProblem& p : parsed.problems)
        s.skipped.push_back({source, p.line, p.key, p.reason});
    for (const ParseProblem& p : parsed.warnings)
        s.warnings.push_back({source, p.line, p.key, p.reason});
    // Every entry met: those that could not be read are skipped ones.
    s.entriesRead = static_cast<int>(parsed.references.size() + parsed.problems.size());
    if (parsed.references.empty()) {
        s.outcome = ImportSummary::Outcome::Unreadable;
        s.message = text.trimmed().isEmpty()
                        ? QStringLiteral("%1 is empty.").arg(source)
                        : QStringLiteral("No %1 entry could be read from %2.")
                              .arg(format == Format::BibTeX ? QStringLiteral("BibTeX")
                                   : format == Format::Ris  ? QStringLiteral("RIS")
                                                            : QStringLiteral("CSL-JSON"),
                                   source);
        return s;
    }

    std::vector<Pending> entries;
    entries.reserve(parsed.references.size());
    for (const Reference& r : parsed.references) {
        int cut = 0;
        PaperData p = toPaper(r, &cut);
        if (p.title.trimmed().isEmpty()) {
            s.skipped.push_back({source, r.line, r.key, QStringLiteral("it has no title")});
            continue;
        }
        entries.push_back({std::move(p), r.line, 0, 0, cut, parseFileField(r.field(u"file"))});
    }
    parsed.references.clear();
    std::sort(s.skipped.begin(), s.skipped.end(),
              [](const SkippedEntry& a, const SkippedEntry& b) { return a.line < b.line; });

    try {
        ensureExtraFieldsTable(database);
        paper::ensurePaperFilesTable(database);
        db::Transaction transaction(database);
        store(database, entries, s, folder, progress);
        if (s.outcome == ImportSummary::Outcome::Cancelled) {
            clearCounts(s);
            s.message = QStringLiteral("The import was cancelled; nothing was stored.");
            return s;
        }
        transaction.commit();
    } catch (const db::DbError& e) {
        clearCounts(s);
        s.outcome = ImportSummary::Outcome::Failed;
        s.message = QStringLiteral("Nothing was stored: %1").arg(e.description());
        return s;
    }
    return s;
}

ImportSummary importFile(db::Database& database, const QString& path, std::optional<Format> format,
                         const Progress& progress)
{
    ImportSummary s;
    s.file = QFileInfo(path).fileName();
    const std::optional<Format> chosen = format ? format : formatFromFileName(path);
    if (!chosen) {
        s.outcome = ImportSummary::Outcome::Unreadable;
        s.message = QStringLiteral("The format of %1 is not known by its extension; name it "
                                   "(bibtex, ris or csljson).")
                        .arg(s.file);
        return s;
    }
    s.format = *chosen;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        s.outcome = ImportSummary::Outcome::Unreadable;
        s.message = QStringLiteral("%1 cannot be read: %2").arg(s.file, file.errorString());
        return s;
    }
    const QByteArray bytes = file.readAll();
    file.close();
    const SourceText source = decodeSource(bytes);
    if (source.binary) {
        s.outcome = ImportSummary::Outcome::Unreadable;
        s.message = QStringLiteral("%1 is not a text file; nothing was stored.").arg(s.file);
        return s;
    }
    return importText(database, source.text, *chosen, s.file, progress,
                      QFileInfo(path).absolutePath());
}

namespace {

// "file, line 3 (key)"
QString where(const QString& file, int line, const QString& key)
{
    QString w = QStringLiteral("%1, line %2").arg(file).arg(line);
    if (!key.isEmpty())
        w += QStringLiteral(" (%1)").arg(key);
    return w;
}

} // namespace

QString summaryText(const ImportSummary& s)
{
    QStringList lines;
    switch (s.outcome) {
    case ImportSummary::Outcome::Unreadable:
    case ImportSummary::Outcome::Cancelled:
    case ImportSummary::Outcome::Failed:
        lines << s.message;
        break;
    case ImportSummary::Outcome::Imported: {
        const auto count = [](int n, const char* one, const char* many) {
            return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
        };
        lines
            << QStringLiteral("%1: %2 read.").arg(s.file, count(s.entriesRead, "entry", "entries"));
        lines << QStringLiteral("Added %1, %2 and %3.")
                     .arg(count(s.papersAdded, "paper", "papers"),
                          count(s.authorsAdded, "author", "authors"),
                          count(s.keywordsAdded, "keyword", "keywords"));
        if (s.referencesAdded || s.quotationsAdded)
            lines << QStringLiteral("Linked %1 and stored %2.")
                         .arg(count(s.referencesAdded, "reference", "references"),
                              count(s.quotationsAdded, "quotation", "quotations"));
        lines << QStringLiteral("%1 already in the project, not added again%2")
                     .arg(count(s.duplicatesSkipped, "duplicate", "duplicates"),
                          QLatin1String(s.duplicates.empty() ? "." : ":"));
        for (const DuplicateEntry& d : s.duplicates)
            lines << QStringLiteral("  %1: paper %2, %3")
                         .arg(where(d.file, d.line, d.key))
                         .arg(d.paper)
                         .arg(d.title);
        if (s.valuesInExtraFieldsOnly)
            lines << QStringLiteral("%1 too long for %2 field, kept whole in the extra fields.")
                         .arg(count(s.valuesInExtraFieldsOnly, "value was", "values were"),
                              QLatin1String(s.valuesInExtraFieldsOnly == 1 ? "its" : "their"));
        if (s.filesLinked || !s.filesNotFound.empty())
            lines << QStringLiteral("Linked %1 where %2; %3 not found%4")
                         .arg(count(s.filesLinked, "file", "files"),
                              QLatin1String(s.filesLinked == 1 ? "it is" : "they are"),
                              QString::number(s.filesNotFound.size()),
                              QLatin1String(s.filesNotFound.empty() ? "." : ":"));
        for (const SkippedEntry& f : s.filesNotFound)
            lines << QStringLiteral("  %1: %2").arg(where(f.file, f.line, f.key), f.reason);
        break;
    }
    }
    if (!s.skipped.empty()) {
        lines << QStringLiteral("%1 skipped:")
                     .arg(s.skipped.size() == 1
                              ? QStringLiteral("1 entry")
                              : QStringLiteral("%1 entries").arg(s.skipped.size()));
        for (const SkippedEntry& e : s.skipped)
            lines << QStringLiteral("  %1: %2").arg(where(e.file, e.line, e.key), e.reason);
    }
    if (!s.warnings.empty()) {
        lines << QStringLiteral("%1 read with a warning:")
                     .arg(s.warnings.size() == 1
                              ? QStringLiteral("1 entry")
                              : QStringLiteral("%1 entries").arg(s.warnings.size()));
        for (const SkippedEntry& e : s.warnings)
            lines << QStringLiteral("  %1: %2").arg(where(e.file, e.line, e.key), e.reason);
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

} // namespace quirelle::interchange
