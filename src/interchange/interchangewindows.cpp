// Import and export in the program: the file dialogs with the three formats, a progress dialog
// that can be cancelled, and the summary of what was done.
#include "app/form.h"
#include "app/services.h"
#include "app/windows.h"
#include "db/project.h"
#include "db/sharedqueries.h"
#include "interchange/data/exporter.h"
#include "interchange/data/importer.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QProgressDialog>

#include <memory>

namespace quirelle {

namespace {

const QString formatsFilter =
    QStringLiteral("BibTeX (*.bib)|*.bib|RIS (*.ris)|*.ris|CSL-JSON (*.json)|*.json");

// Where the reference files are looked for: beside the project.
QString projectFolder()
{
    return QFileInfo(project().file()).absolutePath();
}

// A progress dialog that shows only when the work takes long, and that the user can cancel.
class Progress final
{
public:
    explicit Progress(const QString& what)
        : m_dialog(what, QStringLiteral("Cancel"), 0, 100, Form::frame().dialogParent())
    {
        m_dialog.setObjectName(QStringLiteral("progressInterchange"));
        m_dialog.setWindowTitle(services::programTitle);
        m_dialog.setWindowModality(Qt::WindowModal);
        m_dialog.setMinimumDuration(500);
        m_dialog.setAutoClose(false);
        m_dialog.setAutoReset(false);
    }
    interchange::Progress callback()
    {
        return [this](qsizetype done, qsizetype total) {
            if (total > 0) {
                m_dialog.setMaximum(100);
                m_dialog.setValue(static_cast<int>(done * 100 / total));
            }
            QApplication::processEvents();
            return !m_dialog.wasCanceled();
        };
    }

private:
    QProgressDialog m_dialog;
};

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
    Progress progress(QStringLiteral("Exporting the papers..."));
    const interchange::ExportResult result = interchange::exportToFile(
        project().db(), {*format, papers, true}, *chosen, progress.callback());
    switch (result.outcome) {
    case interchange::ExportResult::Outcome::Written:
        services::MsgBox(QStringLiteral("%1 papers were exported to %2.")
                             .arg(result.papers)
                             .arg(QDir::toNativeSeparators(*chosen)));
        break;
    case interchange::ExportResult::Outcome::Cancelled:
        break;
    case interchange::ExportResult::Outcome::Failed:
        services::MsgBox(QStringLiteral("Nothing was exported to %1: %2")
                             .arg(QDir::toNativeSeparators(*chosen), result.message),
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
    Progress progress(QStringLiteral("Importing the references..."));
    const interchange::ImportSummary summary =
        interchange::importFile(project().db(), *chosen, std::nullopt, progress.callback());
    if (summary.outcome == interchange::ImportSummary::Outcome::Cancelled)
        return;
    // The windows show the new rows the next time they fill; the shared lists and the caption's
    // count follow at once.
    openAllLists();
    Form::frame().showProjectCaption();
    const bool stored = summary.outcome == interchange::ImportSummary::Outcome::Imported;
    services::MsgBox(interchange::summaryText(summary),
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
