// Attaching, linking, listing and removing the files of papers.
#include "paper/data/paperfiles.h"

#include "db/dberror.h"
#include "db/recordset.h"
#include "db/schema.h"
#include "paper/data/contenthash.h"
#include "paper/data/paperqueries.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStandardPaths>

#include <array>
#include <atomic>
#include <future>
#include <map>
#include <optional>
#include <set>

#if defined(Q_OS_UNIX)
#include <fcntl.h>
#include <unistd.h>
#endif

namespace quirelle::paper {

namespace {

const QString Attached = QStringLiteral("attached");
const QString Linked = QStringLiteral("linked");
// Large enough that the calls cost nothing beside the bytes, small enough to stay in the cache.
constexpr qint64 ChunkSize = 1 << 20;

[[noreturn]] void fileFailed(const QString& what)
{
    throw db::DbError(FileFailed, what);
}

QString modifiedText(const QFileInfo& info)
{
    return info.lastModified().toUTC().toString(Qt::ISODate);
}

PaperFile fileOfRow(db::Recordset& rs, const FileFolders& folders)
{
    PaperFile f;
    f.id = rs.Fields(QStringLiteral("File ID")).toLong();
    f.paperId = rs.Fields(QStringLiteral("Paper ID")).text().toInt();
    f.kind = rs.Fields(QStringLiteral("Kind")).text() == Attached ? FileKind::Attached
                                                                  : FileKind::Linked;
    f.storedPath = rs.Fields(QStringLiteral("Path")).text();
    f.path = folders.resolve(f.storedPath);
    f.size = rs.Fields(QStringLiteral("Size")).text().toLongLong();
    f.modified = rs.Fields(QStringLiteral("Modified")).text();
    f.hash = rs.Fields(QStringLiteral("Content Hash")).text();
    f.exists = QFileInfo(f.path).isFile();
    return f;
}

db::Recordset openFiles(db::Database& database, qint32 paperId)
{
    if (paperId == 0)
        return database.OpenRecordset(QStringLiteral("select * from [Paper Files];"));
    return database.OpenRecordset(
        QStringLiteral("select * from [Paper Files] where [Paper ID] = ?;"),
        {QString::number(paperId)});
}

// What the names of a paper's attached copies are made of.
struct PaperName
{
    QString surname;
    QString year;
    QString title;
    QString file(const QString& suffix) const { return readableName(surname, year, title, suffix); }
};

// The first author's surname, the year and the title of the paper; PaperGone when it is not
// stored.
PaperName paperName(db::Database& database, qint32 paperId)
{
    db::Recordset paper = database.OpenRecordset(
        QStringLiteral("select * from [papers] where [Paper ID] = ?;"), {paperId});
    if (paper.isEmpty())
        throw db::DbError(PaperGone, QStringLiteral("The paper is no longer in the project: "
                                                    "the file was not added."));
    PaperName name;
    db::Recordset links = database.OpenRecordset(
        QStringLiteral("select * from [Paper Authors List] where [Paper ID] = ?;"),
        {QString::number(paperId)});
    if (!links.isEmpty()) {
        links.MoveFirst();
        if (const auto author = db::linkedId(links, QStringLiteral("Author ID"))) {
            db::Recordset a = database.OpenRecordset(
                QStringLiteral("select * from [Authors] where [Author ID] = ?;"), {*author});
            if (!a.isEmpty())
                name.surname = a.Fields(QStringLiteral("Surname")).text();
        }
    }
    name.year = paper.Fields(QStringLiteral("Year")).text();
    name.title = paper.Fields(QStringLiteral("Title")).text();
    return name;
}

// A copy written under a hidden temporary name beside the name it will have.
struct PartFile
{
    QString part;
    QString target;
    QString hash;
};

QString partName(const QString& target)
{
    const QFileInfo info(target);
    return info.dir().filePath(QStringLiteral(".") + info.fileName() + QStringLiteral(".part"));
}

// Copies `source` into the temporary file of `target` and returns it with the content's hash.
// Each byte is read once: a chunk is hashed while it is written (on a second thread with
// `hashBeside`, for a file copied alone), and the disk is asked to start writing the copy at
// once, so that it is written while the next file is copied. Nothing is left behind on failure.
PartFile copyToPart(const QString& source, const QString& target, bool hashBeside)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        fileFailed(QStringLiteral("The file '%1' could not be read: %2")
                       .arg(QDir::toNativeSeparators(source), in.errorString()));
    QFile out(partName(target));
    ContentHash hash;
    std::array<QByteArray, 2> buffers{QByteArray(ChunkSize, Qt::Uninitialized),
                                      QByteArray(ChunkSize, Qt::Uninitialized)};
    // Declared last, so that it is waited for before the buffers go, however this ends.
    std::future<void> hashing;
    const auto failWith = [&](const QString& why) {
        if (hashing.valid())
            hashing.wait();
        out.close();
        out.remove();
        fileFailed(
            QStringLiteral("The file '%1' could not be copied to '%2': %3")
                .arg(QDir::toNativeSeparators(source), QDir::toNativeSeparators(target), why));
    };
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        failWith(out.errorString());
    for (size_t k = 0;; ++k) {
        // The buffer was last hashed two chunks ago, which was waited for before the last one.
        QByteArray& chunk = buffers[k % 2];
        const qint64 read = in.read(chunk.data(), ChunkSize);
        if (read < 0)
            failWith(in.errorString());
        if (read == 0)
            break;
        if (hashing.valid())
            hashing.get();
        if (hashBeside)
            hashing = std::async(std::launch::async,
                                 [&hash, &chunk, read] { hash.addData(chunk.constData(), read); });
        else
            hash.addData(chunk.constData(), read);
        if (out.write(chunk.constData(), read) != read)
            failWith(out.errorString());
    }
    if (hashing.valid())
        hashing.get();
#ifdef Q_OS_LINUX
    ::sync_file_range(out.handle(), 0, 0, SYNC_FILE_RANGE_WRITE);
#endif
    out.close();
    if (out.error() != QFileDevice::NoError)
        failWith(out.errorString());
    return {out.fileName(), target, hash.hex()};
}

// Whether the file's content is on the disk.
bool flushed(const QString& path)
{
#if defined(Q_OS_UNIX)
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool done = ::fsync(fd) == 0;
    ::close(fd);
    return done;
#else
    QFile file(path);
    return file.open(QIODevice::ReadWrite | QIODevice::Append) && file.flush();
#endif
}

// Gives each copy its name once its content is on the disk, so that a copy under its own name
// is whole even after the power fails; then the folder's entries too.
void finishCopies(const std::vector<PartFile>& copies, const QString& folder)
{
    for (const PartFile& c : copies) {
        if (!flushed(c.part) || !QFile::rename(c.part, c.target))
            fileFailed(QStringLiteral("The copy '%1' could not be written to the disk.")
                           .arg(QDir::toNativeSeparators(c.target)));
    }
    if (!copies.empty())
        flushed(folder);
}

} // namespace

FileFolders::FileFolders(const QString& projectFile)
{
    const QFileInfo info(projectFile);
    QString name = info.fileName();
    if (name.endsWith(QStringLiteral(".mdb"), Qt::CaseInsensitive))
        name.chop(4);
    project = info.absolutePath();
    attached = QDir(project).filePath(name + QStringLiteral(" Files"));
}

QString FileFolders::store(const QString& path) const
{
    return pathWithin(project, path);
}

QString pathWithin(const QString& folder, const QString& path)
{
    const QString absolute = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    const QString relative = QDir(folder).relativeFilePath(absolute);
    if (relative.startsWith(QStringLiteral("../")) || relative == QStringLiteral("..") ||
        QDir::isAbsolutePath(relative))
        return absolute;
    return relative;
}

QString FileFolders::resolve(const QString& stored) const
{
    if (stored.isEmpty())
        return {};
    return QDir::cleanPath(QDir(project).absoluteFilePath(QDir::fromNativeSeparators(stored)));
}

void ensurePaperFilesTable(db::Database& database)
{
    if (database.tableExists(PaperFilesTable))
        return;
    for (const db::TableDef& t : db::addedTables()) {
        if (t.name == PaperFilesTable)
            database.appendTableDef(t);
    }
}

FileRows::FileRows(db::Database& database, const FileFolders& folders)
    : m_folders(folders)
    , m_writer(database, PaperFilesTable,
               {QStringLiteral("Paper ID"), QStringLiteral("Path"), QStringLiteral("Kind"),
                QStringLiteral("Size"), QStringLiteral("Modified"), QStringLiteral("Content Hash"),
                QStringLiteral("Date Added")})
{}

FileRows::~FileRows() = default;

qint32 FileRows::add(qint32 paperId, const QString& path, FileKind kind, const QString& hash)
{
    const QFileInfo info(path);
    return static_cast<qint32>(m_writer.add(
        {QString::number(paperId), m_folders.store(info.absoluteFilePath()),
         kind == FileKind::Attached ? Attached : Linked, QString::number(info.size()),
         modifiedText(info), hash, QDateTime::currentDateTimeUtc().toString(Qt::ISODate)}));
}

QString readableName(const QString& surname, const QString& year, const QString& title,
                     const QString& suffix)
{
    const auto clean = [](const QString& text) {
        QString out;
        for (const QChar c : text) {
            if (c.isPrint() && !QStringLiteral("/\\:*?\"<>|").contains(c))
                out += c;
            else if (c.isSpace())
                out += QLatin1Char(' ');
        }
        return out.simplified();
    };
    QString head = clean(surname + QLatin1Char(' ') + year);
    QString name = clean(title).left(120);
    // A name that begins with a dot would be hidden, and one that ends with it lose it.
    while (name.endsWith(QLatin1Char('.')))
        name.chop(1);
    if (!head.isEmpty() && !name.isEmpty())
        name = head + QStringLiteral(" - ") + name;
    else if (name.isEmpty())
        name = head;
    while (name.startsWith(QLatin1Char('.')))
        name.remove(0, 1);
    if (name.isEmpty())
        name = QStringLiteral("Paper");
    const QString ext = clean(suffix);
    return ext.isEmpty() ? name : name + QLatin1Char('.') + ext;
}

QString uniqueName(const QString& folder, const QString& name, const QSet<QString>& taken)
{
    const QDir dir(folder);
    const auto free = [&](const QString& n) {
        return !taken.contains(n) && !QFileInfo::exists(dir.filePath(n)) &&
               !QFileInfo::exists(partName(dir.filePath(n)));
    };
    if (free(name))
        return name;
    const QFileInfo info(name);
    const QString suffix = info.suffix();
    const QString base = suffix.isEmpty() ? name : name.left(name.size() - suffix.size() - 1);
    for (int n = 2;; ++n) {
        QString candidate = QStringLiteral("%1 (%2)").arg(base).arg(n);
        if (!suffix.isEmpty())
            candidate += QLatin1Char('.') + suffix;
        if (free(candidate))
            return candidate;
    }
}

QString contentHash(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return {};
    ContentHash hash;
    QByteArray chunk(ChunkSize, Qt::Uninitialized);
    for (;;) {
        const qint64 read = file.read(chunk.data(), ChunkSize);
        if (read < 0)
            return {};
        if (read == 0)
            return hash.hex();
        hash.addData(chunk.constData(), read);
    }
}

std::vector<PaperFile> paperFiles(db::Database& database, const FileFolders& folders,
                                  qint32 paperId)
{
    std::vector<PaperFile> files;
    // A project opened read-only may be older than the table.
    if (!database.tableExists(PaperFilesTable))
        return files;
    db::ReadTransaction read(database);
    db::Recordset rs = openFiles(database, paperId);
    db::forEachRow(rs, [&] { files.push_back(fileOfRow(rs, folders)); });
    return files;
}

PaperFile paperFile(db::Database& database, const FileFolders& folders, qint32 fileId)
{
    db::Recordset rs = database.OpenRecordset(
        QStringLiteral("select * from [Paper Files] where [File ID] = ?;"), {fileId});
    if (rs.isEmpty())
        return {};
    rs.MoveFirst();
    return fileOfRow(rs, folders);
}

AddedFiles addPaperFiles(db::Database& database, const FileFolders& folders, qint32 paperId,
                         const QStringList& sources, FileKind kind)
{
    if (database.readOnly())
        throw db::DbError(db::err::ReadOnly, QStringLiteral("The project is open read-only: "
                                                            "no file can be added to it."));
    const PaperName name = paperName(database, paperId);
    const std::vector<PaperFile> onPaper = paperFiles(database, folders, paperId);
    const bool attach = kind == FileKind::Attached;
    AddedFiles result;
    // Each file: where it is, where its copy goes, and what became of it.
    struct Item
    {
        QString source; // absolute
        QString sourceStored;
        qint64 size = 0;
        QString target; // the copy's name
        std::optional<PartFile> copy;
        QString hash;
        std::optional<db::DbError> failure;
    };
    std::vector<Item> items(static_cast<size_t>(sources.size()));
    const auto duplicate = [](const QString& source) {
        return db::DbError(db::err::Duplicate, QStringLiteral("The file '%1' is already on this "
                                                              "paper.")
                                                   .arg(QDir::toNativeSeparators(source)));
    };
    const auto removeCopies = [&] {
        // No row names them: they go.
        for (const Item& item : items) {
            if (item.copy) {
                QFile::remove(item.copy->part);
                QFile::remove(item.copy->target);
            }
        }
    };
    try {
        // What can be told before any copy: a file that is not there, or one on the paper.
        QSet<QString> names; // the names the copies will have
        for (size_t n = 0; n < items.size(); ++n) {
            Item& item = items[n];
            try {
                const QFileInfo info(sources[static_cast<qsizetype>(n)]);
                if (!info.isFile())
                    fileFailed(QStringLiteral("The file '%1' was not found.")
                                   .arg(QDir::toNativeSeparators(info.filePath())));
                item.source = info.absoluteFilePath();
                item.sourceStored = folders.store(item.source);
                item.size = info.size();
                QString sourceHash; // read only when a copy of the same size is on the paper
                for (const PaperFile& f : onPaper) {
                    const bool sameSize = attach && f.size == item.size;
                    if (sameSize && sourceHash.isEmpty())
                        sourceHash = contentHash(item.source);
                    if (f.storedPath == item.sourceStored || (sameSize && f.hash == sourceHash))
                        throw duplicate(item.source);
                }
                for (size_t e = 0; e < n; ++e) {
                    if (!items[e].failure && items[e].sourceStored == item.sourceStored)
                        throw duplicate(item.source);
                }
                if (attach) {
                    if (!QDir().mkpath(folders.attached))
                        fileFailed(QStringLiteral("The folder '%1' could not be made.")
                                       .arg(QDir::toNativeSeparators(folders.attached)));
                    const QString unique =
                        uniqueName(folders.attached, name.file(info.suffix()), names);
                    names.insert(unique);
                    item.target = QDir(folders.attached).filePath(unique);
                }
            } catch (const db::DbError& e) {
                if (e.number() != FileFailed && e.number() != db::err::Duplicate)
                    throw;
                item.failure = e;
            }
        }

        // The copies (or the hashes), two files at a time: hashing is the slow part, and one
        // file's hash cannot be shared between processors.
        const bool together = items.size() > 1;
        std::atomic<size_t> next = 0;
        const auto work = [&] {
            for (size_t n; (n = next++) < items.size();) {
                Item& item = items[n];
                if (item.failure)
                    continue;
                try {
                    if (attach) {
                        item.copy = copyToPart(item.source, item.target, !together);
                        item.hash = item.copy->hash;
                    } else {
                        item.hash = contentHash(item.source);
                        if (item.hash.isEmpty())
                            fileFailed(QStringLiteral("The file '%1' could not be read.")
                                           .arg(QDir::toNativeSeparators(item.source)));
                    }
                } catch (const db::DbError& e) {
                    item.failure = e;
                }
            }
        };
        if (together) {
            auto other = std::async(std::launch::async, work);
            work();
            other.get();
        } else {
            work();
        }

        // In their order: the same content twice among them is refused like one on the paper.
        std::vector<const Item*> taken;
        std::vector<PartFile> copies;
        for (Item& item : items) {
            if (!item.failure && attach &&
                std::any_of(taken.begin(), taken.end(), [&](const Item* t) {
                    return t->size == item.size && t->hash == item.hash;
                })) {
                QFile::remove(item.copy->part);
                item.copy.reset();
                item.failure = duplicate(item.source);
            }
            if (item.failure) {
                result.failures.push_back(*item.failure);
                continue;
            }
            taken.push_back(&item);
            if (item.copy)
                copies.push_back(*item.copy);
        }
        if (taken.empty())
            return result;
        finishCopies(copies, folders.attached);
        // One transaction for all of them: one user action.
        std::vector<qint32> ids;
        {
            db::Transaction transaction(database);
            FileRows rows(database, folders);
            for (const Item* item : taken)
                ids.push_back(
                    rows.add(paperId, attach ? item->target : item->source, kind, item->hash));
            transaction.commit();
        }
        for (const qint32 id : ids)
            result.added.push_back(paperFile(database, folders, id));
        return result;
    } catch (...) {
        removeCopies();
        throw;
    }
}

PaperFile addPaperFile(db::Database& database, const FileFolders& folders, qint32 paperId,
                       const QString& source, FileKind kind)
{
    AddedFiles added = addPaperFiles(database, folders, paperId, {source}, kind);
    if (!added.failures.empty())
        throw added.failures.front();
    return added.added.front();
}

bool removePaperFile(db::Database& database, qint32 fileId)
{
    db::Transaction transaction(database);
    db::Recordset rs = database.OpenRecordset(
        QStringLiteral("select * from [Paper Files] where [File ID] = ?;"), {fileId});
    if (rs.isEmpty())
        return false;
    rs.MoveFirst();
    const QString stored = rs.Fields(QStringLiteral("Path")).text();
    const bool alone =
        database
            .OpenRecordset(
                QStringLiteral("select * from [Paper Files] where [Path] = ? and [File ID] <> ?;"),
                {stored, fileId})
            .isEmpty();
    rs.Delete();
    transaction.commit();
    return alone;
}

void relinkPaperFile(db::Database& database, const FileFolders& folders, qint32 fileId,
                     const QString& path)
{
    const QFileInfo info(path);
    db::Recordset rs = database.OpenRecordset(
        QStringLiteral("select * from [Paper Files] where [File ID] = ?;"), {fileId});
    if (rs.isEmpty())
        return;
    rs.MoveFirst();
    rs.Edit();
    rs.Fields(QStringLiteral("Path")) = folders.store(info.absoluteFilePath());
    rs.Fields(QStringLiteral("Size")) = QString::number(info.size());
    rs.Fields(QStringLiteral("Modified")) = modifiedText(info);
    rs.Update();
}

QStringList deletePaperFileRows(db::Database& database, const FileFolders& folders, qint32 paperId)
{
    if (!database.tableExists(PaperFilesTable))
        return {};
    std::set<QString> copies;
    db::Recordset rs = openFiles(database, paperId);
    const int count = rs.RecordCount();
    for (int i = 0; i < count; ++i) {
        if (rs.Fields(QStringLiteral("Kind")).text() == Attached)
            copies.insert(rs.Fields(QStringLiteral("Path")).text());
        rs.Delete();
        rs.MoveNext();
    }
    QStringList trash;
    for (const QString& stored : copies) {
        // A copy that another paper links to stays.
        db::Recordset others = database.OpenRecordset(
            QStringLiteral("select * from [Paper Files] where [Path] = ?;"), {stored});
        if (others.isEmpty())
            trash << folders.resolve(stored);
    }
    return trash;
}

MissingSearch findMissingFiles(db::Database& database, const FileFolders& folders,
                               const QString& folder, const FileProgress& progress)
{
    MissingSearch result;
    // The missing files by name and size, and the files of the folder that match one.
    using Key = std::pair<QString, qint64>;
    std::map<Key, std::vector<PaperFile>> missing;
    for (PaperFile& f : paperFiles(database, folders, 0)) {
        if (!f.exists) {
            ++result.missing;
            missing[{QFileInfo(f.path).fileName(), f.size}].push_back(std::move(f));
        }
    }
    if (missing.empty())
        return result;
    std::map<Key, QStringList> candidates;
    QDirIterator walk(folder, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot,
                      QDirIterator::Subdirectories);
    for (qsizetype seen = 0; walk.hasNext(); ++seen) {
        walk.next();
        const QFileInfo info = walk.fileInfo();
        const Key key{info.fileName(), info.size()};
        if (missing.count(key))
            candidates[key] << info.absoluteFilePath();
        if (seen % 1024 == 0 && !progress(0, result.missing)) {
            result.cancelled = true;
            return result;
        }
    }

    std::vector<std::pair<qint32, QString>> relinks;
    qsizetype done = 0;
    for (const auto& [key, files] : missing) {
        const auto found = candidates.find(key);
        std::map<QString, QString> byHash; // the candidates' hashes, read once
        if (found != candidates.end()) {
            for (const QString& path : found->second)
                byHash.emplace(contentHash(path), path);
        }
        for (const PaperFile& f : files) {
            if (const auto it = byHash.find(f.hash); !f.hash.isEmpty() && it != byHash.end())
                relinks.emplace_back(f.id, it->second);
            if (!progress(++done, result.missing)) {
                result.cancelled = true;
                return result;
            }
        }
    }
    db::Transaction transaction(database);
    for (const auto& [id, path] : relinks)
        relinkPaperFile(database, folders, id, path);
    transaction.commit();
    result.found = static_cast<int>(relinks.size());
    result.missing -= result.found;
    return result;
}

namespace {

#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
// The user's trash in the data folder ("~/.local/share/Trash"), made when missing; empty when
// there is none and none can be made. Without one, Qt's trash would be a folder of whatever
// place it could make one in.
QString homeTrash()
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (data.isEmpty() || !QDir::isAbsolutePath(data))
        return {};
    const QString trash = QDir::cleanPath(data + QStringLiteral("/Trash"));
    if (!QDir().mkpath(trash + QStringLiteral("/files")) ||
        !QDir().mkpath(trash + QStringLiteral("/info")))
        return {};
    return QFileInfo(trash).canonicalFilePath();
}

// Whether `where` is in a trash as the desktop keeps them: the user's, or one at the top of
// another disk (".Trash/<uid>" or ".Trash-<uid>").
bool isInTrash(const QString& where, const QString& home)
{
    const QFileInfo files(QFileInfo(where).absolutePath());
    if (files.fileName() != QLatin1String("files"))
        return false;
    const QFileInfo root(files.absolutePath());
    if (root.canonicalFilePath() == home)
        return true;
    const QString uid = QString::number(::getuid());
    return root.fileName() == QStringLiteral(".Trash-") + uid ||
           (root.fileName() == uid &&
            QFileInfo(root.absolutePath()).fileName() == QLatin1String(".Trash"));
}
#else
QString homeTrash()
{
    return QStringLiteral("-"); // the system's own
}
bool isInTrash(const QString&, const QString&)
{
    return true;
}
#endif

} // namespace

QStringList moveToTrash(const QStringList& paths)
{
    QStringList kept;
    const QString trash = homeTrash();
    for (const QString& path : paths) {
        if (!QFileInfo::exists(path))
            continue;
        QString where;
        if (trash.isEmpty() || !QFile::moveToTrash(path, &where)) {
            kept << path;
            continue;
        }
        if (!isInTrash(where, trash)) {
            // Moved into no trash: it goes back, and so does the note written beside it.
            if (QFile::rename(where, path)) {
                const QFileInfo moved(where);
                QFile::remove(QDir(moved.absolutePath() + QStringLiteral("/../info"))
                                  .filePath(moved.fileName() + QStringLiteral(".trashinfo")));
            }
            kept << path;
        }
    }
    return kept;
}

} // namespace quirelle::paper
