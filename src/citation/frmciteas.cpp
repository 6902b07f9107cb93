// The "Cite As" window.
#include "citation/frmciteas.h"

#include "app/services.h"
#include "citation/data/bibliography.h"
#include "db/atomicfile.h"
#include "db/project.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTextBrowser>

namespace quirelle {

namespace {

constexpr int PathRole = Qt::UserRole;

// The style last used is remembered beside the settings file, in the working folder.
QSettings rememberedChoices()
{
    return QSettings(QDir::current().filePath(QStringLiteral("quirelle.ini")),
                     QSettings::IniFormat);
}

const QString styleKey = QStringLiteral("citation/style");
const QString defaultStyle = QStringLiteral("apa");

} // namespace

frmCiteAs::frmCiteAs() : Form(QStringLiteral("frmCiteAs"), 7200, 6240)
{
    setCaption(QStringLiteral("Cite As"));
    lblFilter = new QLabel(QStringLiteral("Style:"), this);
    lblFilter->setObjectName(QStringLiteral("lblFilter"));
    place(lblFilter, 120, 165, 780, 255);
    txtFilter = new QLineEdit(this);
    txtFilter->setObjectName(QStringLiteral("txtFilter"));
    txtFilter->setPlaceholderText(QStringLiteral("Type part of a style's name"));
    place(txtFilter, 960, 120, 6120, 315);
    lstStyles = new QListWidget(this);
    lstStyles->setObjectName(QStringLiteral("lstStyles"));
    place(lstStyles, 120, 540, 6960, 2220);
    const char* modes[] = {"Bibliography entry", "In-text citation"};
    for (int i = 0; i < 2; ++i) {
        optMode[i] = new QRadioButton(QString::fromLatin1(modes[i]), this);
        optMode[i]->setObjectName(controlName(QStringLiteral("optMode"), i));
        place(optMode[i], 120 + i * 2520, 2880, 2400, 300);
    }
    optMode[0]->setChecked(true);
    txtPreview = new QTextBrowser(this);
    txtPreview->setObjectName(QStringLiteral("txtPreview"));
    txtPreview->setOpenExternalLinks(true);
    place(txtPreview, 120, 3300, 6960, 1920);
    lblNotice = new QLabel(this);
    lblNotice->setObjectName(QStringLiteral("lblNotice"));
    lblNotice->setWordWrap(true);
    place(lblNotice, 120, 5280, 6960, 360);
    cmdClose = new QPushButton(QStringLiteral("Close"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    place(cmdClose, 120, 5760, 1215, 375);
    cmdSave = new QPushButton(QStringLiteral("Save As..."), this);
    cmdSave->setObjectName(QStringLiteral("cmdSave"));
    place(cmdSave, 4665, 5760, 1215, 375);
    cmdCopy = new QPushButton(QStringLiteral("Copy"), this);
    cmdCopy->setObjectName(QStringLiteral("cmdCopy"));
    place(cmdCopy, 5865, 5760, 1215, 375);

    auto& service = citation::CitationService::instance();
    QObject::connect(&service, &citation::CitationService::stylesListed, this,
                     [this] { services::guarded([this] { fillStyles(); }); });
    QObject::connect(&service, &citation::CitationService::formatted, this,
                     [this](quint64 ticket, const citation::Formatted& result) {
                         services::guarded([&] { showResult(ticket, result); });
                     });
    QObject::connect(txtFilter, &QLineEdit::textChanged, this,
                     [this] { services::guarded([this] { txtFilter_Change(); }); });
    QObject::connect(lstStyles, &QListWidget::currentItemChanged, this,
                     [this] { services::guarded([this] { refresh(); }); });
    for (QRadioButton* option : optMode) {
        QObject::connect(option, &QRadioButton::toggled, this, [this](bool on) {
            if (on)
                services::guarded([this] { refresh(); });
        });
    }
    QObject::connect(cmdCopy, &QPushButton::clicked, this,
                     [this] { services::guarded([this] { cmdCopy_Click(); }); });
    QObject::connect(cmdSave, &QPushButton::clicked, this,
                     [this] { services::guarded([this] { cmdSave_Click(); }); });
    QObject::connect(cmdClose, &QPushButton::clicked, this,
                     [this] { services::guarded([this] { hideForm(); }); });
}

void frmCiteAs::warmUp()
{
    citation::CitationService::instance().warmUp(
        rememberedChoices().value(styleKey, defaultStyle).toString());
}

void frmCiteAs::Form_Load()
{
    placeByPositionForm();
    fitCaptions(this);
}

void frmCiteAs::populate(const QList<qint32>& papers, bool bibliography)
{
    QString error;
    const auto items = citation::itemsOfPapers(project().db(), papers, &error);
    if (!items) {
        services::MsgBox(error, services::Icon::Critical);
        return;
    }
    m_items = *items;
    if (bibliography)
        optMode[0]->setChecked(true);
    auto& service = citation::CitationService::instance();
    if (service.stylesKnown()) {
        fillStyles();
    } else {
        txtPreview->setPlainText(QStringLiteral("Looking for citation styles..."));
        service.requestStyles();
    }
    refresh();
    showForm();
    txtFilter->setFocus();
}

void frmCiteAs::fillStyles()
{
    const auto& styles = citation::CitationService::instance().styles();
    if (lstStyles->count() == int(styles.size()))
        return;
    const QSignalBlocker quiet(lstStyles);
    lstStyles->clear();
    const QString last = rememberedChoices().value(styleKey, defaultStyle).toString();
    QListWidgetItem* chosen = nullptr;
    for (const auto& style : styles) {
        auto* item =
            new QListWidgetItem(style.title.isEmpty() ? style.name : style.title, lstStyles);
        item->setData(PathRole, style.path);
        item->setToolTip(style.name);
        if (style.name == last)
            chosen = item;
    }
    if (styles.empty()) {
        txtPreview->setPlainText(
            QStringLiteral(
                "No citation styles were found. Install the packages "
                "citation-style-language-styles "
                "and citation-style-language-locales, or put .csl files in the folder \"%1\".")
                .arg(citation::userStyleFolder()));
        return;
    }
    lstStyles->setCurrentItem(chosen ? chosen : lstStyles->item(0));
    txtFilter_Change();
    lstStyles->scrollToItem(lstStyles->currentItem());
    refresh();
}

void frmCiteAs::txtFilter_Change()
{
    const QString filter = txtFilter->text().trimmed();
    QListWidgetItem* firstShown = nullptr;
    for (int i = 0; i < lstStyles->count(); ++i) {
        QListWidgetItem* item = lstStyles->item(i);
        const bool shown = filter.isEmpty() || item->text().contains(filter, Qt::CaseInsensitive) ||
                           item->toolTip().contains(filter, Qt::CaseInsensitive);
        item->setHidden(!shown);
        if (shown && !firstShown)
            firstShown = item;
    }
    if (firstShown && (!lstStyles->currentItem() || lstStyles->currentItem()->isHidden()))
        lstStyles->setCurrentItem(firstShown);
}

QString frmCiteAs::chosenStyle() const
{
    const QListWidgetItem* item = lstStyles->currentItem();
    return item && !item->isHidden() ? item->data(PathRole).toString() : QString();
}

void frmCiteAs::refresh()
{
    m_current = false;
    cmdCopy->setEnabled(false);
    cmdSave->setEnabled(false);
    const QString style = chosenStyle();
    if (style.isEmpty())
        return;
    rememberedChoices().setValue(styleKey, lstStyles->currentItem()->toolTip());
    citation::FormatJob job{style, {}, m_items, optMode[1]->isChecked(), false};
    m_ticket = citation::CitationService::instance().format(std::move(job));
}

void frmCiteAs::showResult(quint64 ticket, const citation::Formatted& result)
{
    for (const QString& notice : result.notices) {
        if (!m_noticesShown.contains(notice))
            m_noticesShown << notice;
    }
    lblNotice->setText(m_noticesShown.join(QLatin1Char(' ')));
    if (ticket == m_saveTicket && !m_savePath.isEmpty()) {
        const QString path = std::exchange(m_savePath, {});
        if (result.rtf.isEmpty() && !result.error.isEmpty()) {
            services::MsgBox(result.error, services::Icon::Critical);
            return;
        }
        AtomicFile file(path);
        const QString text = citation::document(result.rtf, citation::OutputFormat::Rtf);
        if (!file.open() || !file.write(text.toUtf8()) || !file.commit())
            services::MsgBox(QStringLiteral("%1 could not be written:\n%2")
                                 .arg(QDir::toNativeSeparators(path), file.errorString()),
                             services::Icon::Critical);
        return;
    }
    if (ticket != m_ticket)
        return; // the user has chosen another style or mode since
    m_shown = result;
    if (result.html.isEmpty() && !result.error.isEmpty()) {
        txtPreview->setPlainText(result.error);
        return;
    }
    txtPreview->setHtml(result.html.join(QLatin1Char('\n')));
    m_current = true;
    cmdCopy->setEnabled(true);
    cmdSave->setEnabled(true);
}

void frmCiteAs::cmdCopy_Click()
{
    if (!m_current)
        return;
    services::clipboardSetHtml(m_shown.html.join(QLatin1Char('\n')),
                               m_shown.text.join(QLatin1Char('\n')));
}

void frmCiteAs::cmdSave_Click()
{
    if (!m_current)
        return;
    services::FileDialogSettings settings;
    settings.title = QStringLiteral("Save Bibliography As");
    settings.initialDir = QDir::currentPath();
    settings.filter =
        QStringLiteral("Web page (*.html)|*.html|Rich text (*.rtf)|*.rtf|Plain text (*.txt)|*.txt");
    settings.confirmOverwrite = true;
    settings.defaultSuffix = QStringLiteral("html");
    const auto path = services::showSave(settings);
    if (!path)
        return;
    if (path->endsWith(QStringLiteral(".rtf"), Qt::CaseInsensitive)) {
        // RTF is made when asked for; the file is written when it comes.
        m_savePath = *path;
        citation::FormatJob job{chosenStyle(), {}, m_items, optMode[1]->isChecked(), true};
        m_saveTicket = citation::CitationService::instance().format(std::move(job));
        return;
    }
    const bool text = path->endsWith(QStringLiteral(".txt"), Qt::CaseInsensitive);
    const QString document = text ? citation::document(m_shown.text, citation::OutputFormat::Text)
                                  : citation::document(m_shown.html, citation::OutputFormat::Html);
    AtomicFile file(*path);
    if (!file.open() || !file.write(document.toUtf8()) || !file.commit())
        services::MsgBox(QStringLiteral("%1 could not be written:\n%2")
                             .arg(QDir::toNativeSeparators(*path), file.errorString()),
                         services::Icon::Critical);
}

} // namespace quirelle
