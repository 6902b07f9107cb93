// Import and export in the program: the file dialogs with the three formats, the work on a
// thread of its own with a progress dialog that can be cancelled, and the summary of what was
// done.
#include "app/form.h"
#include "app/frmmain.h"
#include "app/offthread.h"
#include "app/projectsafety.h"
#include "app/services.h"
#include "app/windows.h"
#include "db/project.h"
#include "interchange/data/exporter.h"
#include "interchange/data/importer.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QMenuBar>
#include <QPointer>
#include <QProgressDialog>
#include <QThread>

#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <optional>

namespace quirelle {

namespace {

const QString formatsFilter =
    QStringLiteral("BibTeX (*.bib)|*.bib|RIS (*.ris)|*.ris|CSL-JSON (*.json)|*.json");

// Where the reference files are looked for: beside the project.
QString projectFolder()
{
    return QFileInfo(project().file()).absolutePath();
}

// While references travel in or out, nothing may close or replace the project under them:
// every item of the frame's menus is disabled, the mouse and the keyboard reach only the progress
// dialog (also before it shows, and while a cancelled run winds down), and the frame cannot be
// closed.
class HoldWindows final : public QObject
{
public:
    explicit HoldWindows(QWidget* dialog)
        : m_dialog(dialog), m_frame(Form::hasFrame() ? Form::frame().dialogParent() : nullptr)
    {
        if (m_frame) {
            for (const QMenuBar* bar : m_frame->findChildren<QMenuBar*>()) {
                for (QAction* action : bar->findChildren<QAction*>()) {
                    if (action->isEnabled()) {
                        action->setEnabled(false);
                        m_disabled << action;
                    }
                }
            }
        }
        qApp->installEventFilter(this);
    }
    ~HoldWindows() override
    {
        qApp->removeEventFilter(this);
        for (const QPointer<QAction>& action : std::as_const(m_disabled)) {
            if (action)
                action->setEnabled(true);
        }
    }
    HoldWindows(const HoldWindows&) = delete;
    HoldWindows& operator=(const HoldWindows&) = delete;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::Close:
            if (watched != m_frame)
                return false;
            event->ignore(); // refused, so the frame stays as it is
            return true;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ContextMenu:
        case QEvent::Shortcut: {
            const auto* widget = qobject_cast<const QWidget*>(watched);
            return widget && widget != m_dialog && !m_dialog->isAncestorOf(widget);
        }
        default:
            return false;
        }
    }

private:
    QWidget* m_dialog;
    QWidget* m_frame;
    QList<QPointer<QAction>> m_disabled;
};

// Runs `work` on a thread of its own, through a connection of its own to the project file,
// while this thread shows the progress and takes the user's Cancel: the transaction of an import
// or an export lives on that thread, and the event loop here never runs inside it. What the
// work threw is thrown here. Nothing when the project was closed or replaced before the work
// could start.
template<class Result>
std::optional<Result>
runBesideWindows(const QString& what,
                 const std::function<Result(db::Database&, const interchange::Progress&)>& work)
{
    // A check or a copy of the project that is under way ends first: its report may put a backup
    // copy in the place of the project, which must not happen under the work.
    Project& p = project();
    const quint64 generation = p.generation();
    if (frmMain::isLoaded())
        frmMain::instance().safety().waitUntilIdle();
    if (p.generation() != generation)
        return std::nullopt;
    const std::unique_ptr<db::Database> database =
        db::Database::OpenDatabase(p.db().path(), p.readOnly());

    QProgressDialog dialog(what, QStringLiteral("Cancel"), 0, 100, Form::frame().dialogParent());
    dialog.setObjectName(QStringLiteral("progressInterchange"));
    dialog.setWindowTitle(services::programTitle);
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setMinimumDuration(500);
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    dialog.setValue(0);
    const HoldWindows hold(&dialog);

    std::atomic<bool> cancelled = false;
    QObject::connect(&dialog, &QProgressDialog::canceled, &dialog,
                     [&cancelled] { cancelled = true; });
    // Called on the worker's thread: the dialog moves on this one, once a percent.
    const interchange::Progress progress = [&cancelled, &dialog,
                                            shown = -1](qsizetype done, qsizetype total) mutable {
        const int percent = total > 0 ? static_cast<int>(done * 100 / total) : shown;
        if (percent != shown) {
            shown = percent;
            QMetaObject::invokeMethod(
                &dialog, [&dialog, percent] { dialog.setValue(percent); }, Qt::QueuedConnection);
        }
        return !cancelled.load();
    };

    std::optional<Result> result;
    runOffThread(QStringLiteral("references"), cancelled,
                 [&] { result = work(*database, progress); });
    return result;
}

void exportToChosenFile(const std::optional<QList<qint32>>& papers)
{
    services::FileDialogSettings settings;
    settings.title = papers ? QStringLiteral("Export These Papers") : QStringLiteral("Export");
    settings.initialDir = projectFolder();
    settings.filter = formatsFilter;
    settings.confirmOverwrite = true;
    settings.defaultSuffix = QStringLiteral("bib");
    const auto chosen = services::showSave(settings);
    if (!chosen)
        return;
    const auto format = interchange::formatFromFileName(*chosen);
    if (!format) {
        services::MsgBox(QStringLiteral("Choose a file name that ends in .bib (BibTeX), .ris (RIS) "
                                        "or .json (CSL-JSON): nothing was exported."),
                         services::Icon::Critical);
        return;
    }
    // The program stores the keys it gives, so that they stay the same on every export.
    const interchange::ExportRequest request{*format, papers, true};
    const QString file = *chosen;
    const auto result = runBesideWindows<interchange::ExportResult>(
        QStringLiteral("Exporting the papers..."),
        [&request, &file](db::Database& database, const interchange::Progress& progress) {
            return interchange::exportToFile(database, request, file, progress);
        });
    if (!result)
        return;
    switch (result->outcome) {
    case interchange::ExportResult::Outcome::Written:
        services::MsgBox(QStringLiteral("%1 papers were exported to %2.")
                             .arg(result->papers)
                             .arg(QDir::toNativeSeparators(*chosen)));
        break;
    case interchange::ExportResult::Outcome::Cancelled:
        break;
    case interchange::ExportResult::Outcome::Failed:
        services::MsgBox(QStringLiteral("Nothing was exported to %1: %2")
                             .arg(QDir::toNativeSeparators(*chosen), result->message),
                         services::Icon::Critical);
        break;
    }
}

} // namespace

void windows::importReferences()
{
    services::FileDialogSettings settings;
    settings.title = QStringLiteral("Import");
    settings.initialDir = projectFolder();
    settings.filter =
        QStringLiteral("Reference files (*.bib *.ris *.json)|*.bib;*.ris;*.json|") + formatsFilter;
    settings.mustExist = true;
    const auto chosen = services::showOpen(settings);
    if (!chosen)
        return;
    // What is typed in a box is stored first: the import is one transaction of its own.
    commitFocusedBox();
    const QString file = *chosen;
    const auto summary = runBesideWindows<interchange::ImportSummary>(
        QStringLiteral("Importing the references..."),
        [&file](db::Database& database, const interchange::Progress& progress) {
            return interchange::importFile(database, file, std::nullopt, progress);
        });
    if (!summary || summary->outcome == interchange::ImportSummary::Outcome::Cancelled)
        return;
    // The windows show the new rows the next time they fill; the caption's count follows at once.
    Form::frame().showProjectCaption();
    const bool stored = summary->outcome == interchange::ImportSummary::Outcome::Imported;
    if (stored)
        windows::filesChanged(); // files the references name were linked: they are indexed
    services::MsgBox(interchange::summaryText(*summary),
                     stored ? services::Icon::None : services::Icon::Critical);
}

void windows::exportReferences()
{
    exportToChosenFile(std::nullopt);
}

void windows::exportPapers(const QList<qint32>& papers)
{
    exportToChosenFile(papers);
}

} // namespace quirelle
