// The "Files" tab: listing, attaching, linking, opening and removing the files of a paper.
#include "paper/filestab.h"

#include "app/desktop.h"
#include "app/form.h"
#include "app/listviews.h"
#include "app/windows.h"
#include "db/dberror.h"
#include "db/project.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QListWidget>
#include <QLocale>
#include <QMimeData>
#include <QPushButton>

namespace quirelle {

namespace {

// The local files a drag carries; empty when it carries anything else.
QStringList droppedFiles(const QMimeData* mime)
{
    QStringList files;
    if (!mime || !mime->hasUrls())
        return files;
    for (const QUrl& url : mime->urls()) {
        if (!url.isLocalFile() || !QFileInfo(url.toLocalFile()).isFile())
            return {};
        files << url.toLocalFile();
    }
    return files;
}

QString fileLine(const paper::PaperFile& f)
{
    QString line = QFileInfo(f.path).fileName() + QStringLiteral(" (") +
                   QLocale::c().formattedDataSize(f.size, 1, QLocale::DataSizeTraditionalFormat) +
                   QLatin1Char(')');
    if (!f.exists)
        line += QStringLiteral(" (missing)");
    return line;
}

paper::FileFolders folders()
{
    return paper::FileFolders(project().file());
}

} // namespace

FilesTab::FilesTab(QWidget* parent, QWidget* window) : QWidget(parent)
{
    lstFiles =
        makeList(this, QStringLiteral("lstFiles"), QStringLiteral("Double-click to open the file"));
    place(lstFiles, 120, 120, 9240, 2520);
    struct Row
    {
        QPushButton** button;
        const char* name;
        const char* caption;
        const char* tip;
    };
    const Row rows[] = {
        {&cmdAttachFile, "cmdAttachFile", "Attach...", "Copy a file beside the project"},
        {&cmdLinkFile, "cmdLinkFile", "Link...", "Link a file where it is"},
        {&cmdOpenFile, "cmdOpenFile", "Open", "Open the file"},
        {&cmdShowFile, "cmdShowFile", "Show in Folder", "Show the folder that holds the file"},
        {&cmdRemoveFile, "cmdRemoveFile", "Remove", "Take the file off this paper"},
    };
    int top = 120;
    for (const Row& row : rows) {
        auto* b = new QPushButton(QString::fromUtf8(row.caption), this);
        b->setObjectName(QString::fromUtf8(row.name));
        b->setToolTip(QString::fromUtf8(row.tip));
        place(b, 9480, top, 1680, 375);
        top += 480;
        *row.button = b;
    }
    const auto onClick = [this](QPushButton* b, auto handler) {
        QObject::connect(b, &QPushButton::clicked, this,
                         [handler] { services::guarded([&] { handler(); }); });
    };
    onClick(cmdAttachFile, [this] { cmdAttachFile_Click(paper::FileKind::Attached); });
    onClick(cmdLinkFile, [this] { cmdAttachFile_Click(paper::FileKind::Linked); });
    onClick(cmdOpenFile, [this] { cmdOpenFile_Click(); });
    onClick(cmdShowFile, [this] { cmdShowFile_Click(); });
    onClick(cmdRemoveFile, [this] { cmdRemoveFile_Click(); });
    QObject::connect(lstFiles, &QListWidget::itemDoubleClicked, this,
                     [this] { services::guarded([this] { cmdOpenFile_Click(); }); });

    window->setAcceptDrops(true);
    window->installEventFilter(this);
    showFiles(0, {});
}

std::vector<paper::PaperFile> FilesTab::read(qint32 paperId)
{
    if (paperId < 1)
        return {};
    return paper::paperFiles(project().db(), folders(), paperId);
}

void FilesTab::showFiles(qint32 paperId, const std::vector<paper::PaperFile>& files)
{
    m_paperId = paperId;
    lstFiles->clear();
    for (const paper::PaperFile& f : files) {
        auto* item = new QListWidgetItem(fileLine(f), lstFiles);
        item->setData(Qt::UserRole, f.id);
        item->setToolTip(QDir::toNativeSeparators(f.path));
    }
    for (QPushButton* b : {cmdAttachFile, cmdLinkFile, cmdOpenFile, cmdShowFile, cmdRemoveFile})
        b->setEnabled(paperId >= 1);
}

std::vector<QWidget*> FilesTab::focusOrder() const
{
    return {lstFiles, cmdAttachFile, cmdLinkFile, cmdOpenFile, cmdShowFile, cmdRemoveFile};
}

void FilesTab::refresh()
{
    showFiles(m_paperId, read(m_paperId));
}

bool FilesTab::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (m_paperId >= 1 && !droppedFiles(drag->mimeData()).isEmpty()) {
            drag->acceptProposedAction();
            return true;
        }
        break;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const QStringList files = droppedFiles(drop->mimeData());
        if (m_paperId < 1 || files.isEmpty())
            break;
        drop->acceptProposedAction();
        services::guarded([&] { attach(files, paper::FileKind::Attached); });
        return true;
    }
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void FilesTab::attach(const QStringList& paths, paper::FileKind kind)
{
    QStringList failures;
    try {
        const paper::AddedFiles added =
            paper::addPaperFiles(project().db(), folders(), m_paperId, paths, kind);
        for (const db::DbError& e : added.failures)
            failures << e.description();
    } catch (const db::DbError& e) {
        failures << e.description();
    }
    refresh();
    windows::filesChanged();
    if (!failures.isEmpty())
        services::MsgBox(failures.join(QLatin1Char('\n')), services::Icon::Critical);
}

void FilesTab::cmdAttachFile_Click(paper::FileKind kind)
{
    if (m_paperId < 1)
        return;
    services::FileDialogSettings settings;
    settings.title = kind == paper::FileKind::Attached ? QStringLiteral("Attach File")
                                                       : QStringLiteral("Link File");
    settings.filter = QStringLiteral("All Files (*)|*");
    settings.mustExist = true;
    if (const auto file = services::showOpen(settings))
        attach({*file}, kind);
}

std::optional<paper::PaperFile> FilesTab::chosenFile()
{
    const QListWidgetItem* item = lstFiles->currentItem();
    if (!item)
        return std::nullopt;
    const paper::PaperFile f =
        paper::paperFile(project().db(), folders(), item->data(Qt::UserRole).toInt());
    if (f.id == 0 || f.paperId != m_paperId) {
        services::MsgBox(QStringLiteral("The file is no longer on this paper."));
        refresh();
        return std::nullopt;
    }
    return f;
}

std::optional<paper::PaperFile> FilesTab::existingChosenFile()
{
    auto f = chosenFile();
    if (f && !f->exists) {
        services::MsgBox(
            QStringLiteral("The file '%1' is missing.").arg(QDir::toNativeSeparators(f->path)),
            services::Icon::Critical);
        refresh();
        return std::nullopt;
    }
    return f;
}

void FilesTab::cmdOpenFile_Click()
{
    if (const auto f = existingChosenFile()) {
        if (!services::openUrl(QUrl::fromLocalFile(f->path)))
            services::MsgBox(QStringLiteral("No program could open '%1'.")
                                 .arg(QDir::toNativeSeparators(f->path)),
                             services::Icon::Critical);
    }
}

void FilesTab::cmdShowFile_Click()
{
    if (const auto f = existingChosenFile())
        services::openUrl(QUrl::fromLocalFile(QFileInfo(f->path).absolutePath()));
}

void FilesTab::cmdRemoveFile_Click()
{
    const auto f = chosenFile();
    if (!f)
        return;
    bool trash = false;
    if (f->kind == paper::FileKind::Attached && f->exists) {
        const services::Answer answer =
            services::MsgBox(QStringLiteral("Move the attached copy '%1' to the trash as well?")
                                 .arg(QFileInfo(f->path).fileName()),
                             services::Buttons::YesNoCancel);
        if (answer == services::Answer::Cancel)
            return;
        trash = answer == services::Answer::Yes;
    }
    // A copy that another paper names stays.
    if (paper::removePaperFile(project().db(), f->id) && trash)
        reportKept(paper::moveToTrash({f->path}));
    refresh();
    windows::filesChanged();
}

void FilesTab::reportKept(const QStringList& kept)
{
    if (kept.isEmpty())
        return;
    QStringList names;
    for (const QString& path : kept)
        names << QDir::toNativeSeparators(path);
    services::MsgBox(QStringLiteral("There is no trash to move the attached copy to: it was kept "
                                    "where it is.\n%1")
                         .arg(names.join(QLatin1Char('\n'))),
                     services::Icon::None);
}

} // namespace quirelle
