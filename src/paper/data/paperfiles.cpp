// Attaching, linking, listing and removing the files of papers.
#include "paper/data/paperfiles.h"

#include "db/dberror.h"
#include "db/recordset.h"
#include "db/schema.h"
#include "paper/data/paperqueries.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <map>
#include <set>

#if defined(Q_OS_UNIX)
#include <unistd.h>
#endif

namespace quirelle::paper {

namespace {

const QString Attached = QStringLiteral("attached");
const QString Linked = QStringLiteral("linked");
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

// The first author's surname, the year and the title of the paper; PaperGone when it is not
// stored.
QString nameForPaper(db::Database& database, qint32 paperId, const QString& suffix)
{
    db::Recordset paper = database.OpenRecordset(
        QStringLiteral("select * from [papers] where [Paper ID] = ?;"), {paperId});
    if (paper.isEmpty())
        throw db::DbError(PaperGone, QStringLiteral("The paper is no longer in the project: "
                                                    "the file was not added."));
    QString surname;
    db::Recordset links = database.OpenRecordset(
        QStringLiteral("select * from [Paper Authors List] where [Paper ID] = ?;"),
        {QString::number(paperId)});
    if (!links.isEmpty()) {
        links.MoveFirst();
        if (const auto author = db::linkedId(links, QStringLiteral("Author ID"))) {
            db::Recordset a = database.OpenRecordset(
                QStringLiteral("select * from [Authors] where [Author ID] = ?;"), {*author});
            if (!a.isEmpty())
                surname = a.Fields(QStringLiteral("Surname")).text();
        }
    }
    return readableName(surname, paper.Fields(QStringLiteral("Year")).text(),
                        paper.Fields(QStringLiteral("Title")).text(), suffix);
}

// Copies `source` to `target` through a temporary file beside it, renamed only when every byte
// was written; returns the content's hash. Nothing is left behind on failure.
QString copyFile(const QString& source, const QString& target)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        fileFailed(QStringLiteral("The file '%1' could not be read: %2")
                       .arg(QDir::toNativeSeparators(source), in.errorString()));
    const QFileInfo targetInfo(target);
    QFile out(targetInfo.dir().filePath(QStringLiteral(".") + targetInfo.fileName() +
                                        QStringLiteral(".part")));
    const auto failWith = [&](const QString& why) {
        out.close();
        out.remove();
        fileFailed(
            QStringLiteral("The file '%1' could not be copied to '%2': %3")
                .arg(QDir::toNativeSeparators(source), QDir::toNativeSeparators(target), why));
    };
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        failWith(out.errorString());
    QCryptographicHash hash(QCryptographicHash::Sha256);
    QByteArray chunk;
    while (!in.atEnd()) {
        chunk = in.read(ChunkSize);
        if (chunk.isEmpty() && in.error() != QFileDevice::NoError)
            failWith(in.errorString());
        hash.addData(chunk);
        if (out.write(chunk) != chunk.size())
            failWith(out.errorString());
    }
    if (!out.flush())
        failWith(out.errorString());
    out.close();
    if (out.error() != QFileDevice::NoError)
        failWith(out.errorString());
    if (!out.rename(target))
        failWith(out.errorString());
    return QString::fromLatin1(hash.result().toHex());
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

QString uniqueName(const QString& folder, const QString& name)
{
    const QDir dir(folder);
    if (!QFileInfo::exists(dir.filePath(name)))
        return name;
    const QFileInfo info(name);
    const QString suffix = info.suffix();
    const QString base = suffix.isEmpty() ? name : name.left(name.size() - suffix.size() - 1);
    for (int n = 2;; ++n) {
        QString candidate = QStringLiteral("%1 (%2)").arg(base).arg(n);
        if (!suffix.isEmpty())
            candidate += QLatin1Char('.') + suffix;
        if (!QFileInfo::exists(dir.filePath(candidate)))
            return candidate;
    }
}

QString contentHash(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file))
        return {};
    return QString::fromLatin1(hash.result().toHex());
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

PaperFile addPaperFile(db::Database& database, const FileFolders& folders, qint32 paperId,
                       const QString& source, FileKind kind)
{
    if (database.readOnly())
        throw db::DbError(db::err::ReadOnly, QStringLiteral("The project is open read-only: "
                                                            "no file can be added to it."));
    const QFileInfo info(source);
    if (!info.isFile())
        fileFailed(
            QStringLiteral("The file '%1' was not found.").arg(QDir::toNativeSeparators(source)));
    const QString name = nameForPaper(database, paperId, info.suffix());
    const QString sourceStored = folders.store(info.absoluteFilePath());
    for (const PaperFile& f : paperFiles(database, folders, paperId)) {
        if (f.storedPath == sourceStored ||
            (kind == FileKind::Attached && f.size == info.size() && f.hash == contentHash(source)))
            throw db::DbError(db::err::Duplicate,
                              QStringLiteral("The file '%1' is already on this paper.")
                                  .arg(QDir::toNativeSeparators(source)));
    }

    QString path = info.absoluteFilePath();
    QString hash;
    if (kind == FileKind::Attached) {
        if (!QDir().mkpath(folders.attached))
            fileFailed(QStringLiteral("The folder '%1' could not be made.")
                           .arg(QDir::toNativeSeparators(folders.attached)));
        path = QDir(folders.attached).filePath(uniqueName(folders.attached, name));
        hash = copyFile(source, path);
    } else {
        hash = contentHash(source);
        if (hash.isEmpty())
            fileFailed(QStringLiteral("The file '%1' could not be read.")
                           .arg(QDir::toNativeSeparators(source)));
    }

    const QFileInfo stored(path);
    try {
        db::Transaction transaction(database);
        db::Recordset rs = openFiles(database, paperId);
        rs.AddNew();
        rs.Fields(QStringLiteral("Paper ID")) = QString::number(paperId);
        rs.Fields(QStringLiteral("Path")) = folders.store(path);
        rs.Fields(QStringLiteral("Kind")) = kind == FileKind::Attached ? Attached : Linked;
        rs.Fields(QStringLiteral("Size")) = QString::number(stored.size());
        rs.Fields(QStringLiteral("Modified")) = modifiedText(stored);
        rs.Fields(QStringLiteral("Content Hash")) = hash;
        rs.Fields(QStringLiteral("Date Added")) =
            QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
        rs.Update();
        transaction.commit();
        rs.setBookmark(rs.LastModified());
        return fileOfRow(rs, folders);
    } catch (...) {
        // No row names the copy: it goes.
        if (kind == FileKind::Attached)
            QFile::remove(path);
        throw;
    }
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
