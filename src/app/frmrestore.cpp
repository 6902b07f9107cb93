// The restore window.
#include "app/frmrestore.h"

#include "app/frmmain.h"
#include "app/projectsafety.h"
#include "app/services.h"
#include "app/windows.h"
#include "db/backups.h"
#include "db/project.h"

#include <QHeaderView>
#include <QLocale>
#include <QPushButton>
#include <QTreeWidget>

namespace quirelle {

namespace {

constexpr int FileRole = Qt::UserRole;

} // namespace

frmRestore::frmRestore() : Form(QStringLiteral("frmRestore"), 7200, 4800)
{
    setCaption(QStringLiteral("Restore From Backup"));
    lstBackups = new QTreeWidget(this);
    lstBackups->setObjectName(QStringLiteral("lstBackups"));
    lstBackups->setRootIsDecorated(false);
    lstBackups->setHeaderLabels({QStringLiteral("Date"), QStringLiteral("Time"),
                                 QStringLiteral("Size"), QStringLiteral("Papers")});
    lstBackups->header()->setStretchLastSection(false);
    place(lstBackups, 120, 120, 6960, 3960);
    cmdRestore = new QPushButton(QStringLiteral("Restore"), this);
    cmdRestore->setObjectName(QStringLiteral("cmdRestore"));
    cmdRestore->setToolTip(QStringLiteral("Put the chosen copy in the place of the project"));
    place(cmdRestore, 5865, 4260, 1215, 375);
    cmdBack = new QPushButton(QStringLiteral("Back"), this);
    cmdBack->setObjectName(QStringLiteral("cmdBack"));
    place(cmdBack, 120, 4260, 1215, 375);
    QObject::connect(cmdRestore, &QPushButton::clicked, this,
                     [this] { services::guarded([this] { cmdRestore_Click(); }); });
    QObject::connect(cmdBack, &QPushButton::clicked, this,
                     [this] { services::guarded([this] { hideForm(); }); });
    QObject::connect(lstBackups, &QTreeWidget::itemSelectionChanged, this,
                     [this] { cmdRestore->setEnabled(!lstBackups->selectedItems().isEmpty()); });
}

void frmRestore::Form_Load()
{
    placeByPositionForm();
}

void frmRestore::populate()
{
    lstBackups->clear();
    const QLocale locale;
    for (const db::BackupCopy& copy : db::listBackups(ProjectSafety::backupsOf())) {
        auto* item = new QTreeWidgetItem(lstBackups);
        item->setText(0, locale.toString(copy.taken.date(), QLocale::ShortFormat));
        item->setText(1, copy.taken.time().toString(QStringLiteral("HH:mm:ss")));
        item->setText(2, locale.formattedDataSize(copy.size));
        item->setText(3, copy.papers < 0 ? QStringLiteral("cannot be read")
                                         : QString::number(copy.papers));
        item->setTextAlignment(2, Qt::AlignRight);
        item->setTextAlignment(3, Qt::AlignRight);
        item->setData(0, FileRole, copy.file);
    }
    for (int c = 0; c < 4; ++c)
        lstBackups->resizeColumnToContents(c);
    cmdRestore->setEnabled(false);
    if (lstBackups->topLevelItemCount() == 0) {
        auto* none = new QTreeWidgetItem(lstBackups, {QStringLiteral("No backup copies yet")});
        none->setFlags(Qt::NoItemFlags);
    }
    showForm();
}

void frmRestore::cmdRestore_Click()
{
    const QList<QTreeWidgetItem*> chosen = lstBackups->selectedItems();
    if (chosen.isEmpty())
        return;
    const QTreeWidgetItem* item = chosen.front();
    const QString copy = item->data(0, FileRole).toString();
    if (copy.isEmpty())
        return;
    // A shared project's tables are every member's: replacing them is said in so many words.
    const QString prompt =
        project().isServer()
            ? QStringLiteral("Replace every table of the shared project %1 on the server with "
                             "the backup copy of %2 %3 (%4 papers)?\n\nEvery member then works "
                             "in the restored project. The project as it is now is kept as a "
                             "backup copy of its own first, so that this can be undone.")
                  .arg(project().projectFilePath(), item->text(0), item->text(1), item->text(3))
            : QStringLiteral("Put the backup copy of %1 %2 (%3 papers) in the place of the open "
                             "project?\n\nThe project as it is now is kept as a backup copy of "
                             "its own, so that this can be undone.")
                  .arg(item->text(0), item->text(1), item->text(3));
    if (services::MsgBox(prompt, services::Buttons::YesNo) != services::Answer::Yes)
        return;
    hideForm();
    frmMain::instance().safety().restore(copy);
}

void windows::openRestore()
{
    frmRestore::instance().populate();
}

} // namespace quirelle
