// Window placement, lifetime and the lost-focus hook.
#include "app/form.h"

#include "app/services.h"
#include "app/windows.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QLayout>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>

#include <algorithm>
#include <cmath>
#include <map>
#include <stdexcept>

namespace quirelle {

namespace {

std::vector<Form*>& liveForms()
{
    static std::vector<Form*> forms;
    return forms;
}

std::map<QWidget*, std::function<void()>>& lostFocusHandlers()
{
    static std::map<QWidget*, std::function<void()>> handlers;
    return handlers;
}

// Watches boxes for the loss of focus and runs their handler inside the handler guard.
class LostFocusFilter : public QObject
{
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::FocusOut && !services::hasEnded()) {
            auto& handlers = lostFocusHandlers();
            if (auto it = handlers.find(static_cast<QWidget*>(watched)); it != handlers.end()) {
                const auto handler = it->second;
                services::guarded(handler);
            }
        }
        return false;
    }
};

LostFocusFilter* lostFocusFilter()
{
    static LostFocusFilter* filter = new LostFocusFilter();
    return filter;
}

Frame* theFrame = nullptr;

} // namespace

void place(QWidget* w, const Twips& at)
{
    w->setGeometry(toPixels(at.left), toPixels(at.top), toPixels(at.width), toPixels(at.height));
}

void Form::setFrame(Frame* frame)
{
    theFrame = frame;
}

Frame& Form::frame()
{
    if (!theFrame)
        throw std::logic_error("no main window");
    return *theFrame;
}

bool Form::hasFrame()
{
    return theFrame != nullptr;
}

Form::Form(const QString& name, int clientWidth, int clientHeight, Placement placement, Panel panel)
    : m_placement(placement), m_panel(panel)
{
    setObjectName(name);
    setAttribute(Qt::WA_DeleteOnClose, false);
    const QSize client(toPixels(clientWidth), toPixels(clientHeight));
    resize(client);
    setMinimumSize(client);
    liveForms().push_back(this);
    if (placement == Placement::Child) {
        QMdiArea* area = frame().mdiArea();
        m_sub = new QMdiSubWindow(area);
        m_sub->setObjectName(name + QStringLiteral("Frame"));
        m_sub->setWidget(this);
        m_sub->setAttribute(Qt::WA_DeleteOnClose, false);
        m_sub->installEventFilter(this);
        area->addSubWindow(m_sub);
        m_sub->adjustSize();
        m_sub->hide();
    } else {
        setWindowFlag(Qt::Window, true);
        hide();
    }
}

Form::~Form()
{
    std::erase(liveForms(), this);
    if (m_forget)
        m_forget();
}

bool Form::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_sub && event->type() == QEvent::Close) {
        event->ignore();
        services::guarded([this] { closeRequested(); });
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void Form::setCaption(const QString& caption)
{
    setWindowTitle(caption);
    if (m_sub)
        m_sub->setWindowTitle(caption);
}

QString Form::caption() const
{
    return windowTitle();
}

int Form::Left() const
{
    return toTwips(m_sub ? m_sub->x() : x());
}

int Form::Top() const
{
    return toTwips(m_sub ? m_sub->y() : y());
}

void Form::setLeftTop(int left, int top)
{
    QWidget* w = m_sub ? static_cast<QWidget*>(m_sub) : this;
    w->move(toPixels(left), toPixels(top));
}

int Form::Width() const
{
    return toTwips(m_sub ? m_sub->width() : frameGeometry().width());
}

int Form::Height() const
{
    return toTwips(m_sub ? m_sub->height() : frameGeometry().height());
}

void Form::placeByPositionForm()
{
    const QPoint at = positionForm(frame().sizeInTwips(), frame().panelWidth(), Width(), Height());
    setLeftTop(at.x(), at.y());
}

void Form::showForm()
{
    if (m_panel != Panel::Leaves && hasFrame())
        frame().setPanelEnabled(false);
    if (m_sub) {
        m_sub->show();
        show();
        m_sub->raise();
        if (QMdiArea* area = m_sub->mdiArea())
            area->setActiveSubWindow(m_sub);
    } else {
        show();
        raise();
        activateWindow();
    }
}

void Form::hideForm()
{
    if (m_sub)
        m_sub->hide();
    else
        hide();
}

void Form::closeForm()
{
    hideForm();
    if (m_panel == Panel::DisablesUntilClosed && hasFrame())
        frame().setPanelEnabled(true);
}

bool Form::isShown() const
{
    return m_sub ? m_sub->isVisible() : isVisible();
}

void Form::loadForm()
{
    Form_Load();
    fitCaptions(this);
}

void Form::destroyForm()
{
    // Gone while up (another project opened meanwhile), it can no longer give the options panel
    // back by its closing button.
    if (m_panel == Panel::DisablesUntilClosed && isShown() && hasFrame())
        frame().setPanelEnabled(true);
    if (m_forget) {
        m_forget();
        m_forget = nullptr;
    }
    if (m_sub) {
        QMdiSubWindow* sub = m_sub;
        m_sub = nullptr;
        sub->removeEventFilter(this);
        sub->hide();
        if (QMdiArea* area = sub->mdiArea())
            area->removeSubWindow(sub);
        delete sub; // deletes this window with it
    } else {
        delete this;
    }
}

void Form::unloadAllForms()
{
    while (!liveForms().empty())
        liveForms().back()->destroyForm();
}

void Form::unloadProjectWindows()
{
    std::vector<Form*> going;
    for (Form* f : liveForms()) {
        if (f->showsProjectRows())
            going.push_back(f);
    }
    for (Form* f : going)
        f->destroyForm();
    if (!hasFrame())
        return;
    const bool panelTaken = std::any_of(liveForms().begin(), liveForms().end(), [](Form* f) {
        return f->m_panel != Panel::Leaves && f->isShown();
    });
    if (!panelTaken)
        frame().setPanelEnabled(true);
}

void windows::changedElsewhere()
{
    // A copy of the list: a window may close itself while it reads its rows again.
    const std::vector<Form*> forms = liveForms();
    for (Form* f : forms) {
        if (std::find(liveForms().begin(), liveForms().end(), f) != liveForms().end() &&
            f->isShown())
            f->changedElsewhere();
    }
    if (Form::hasFrame())
        Form::frame().showProjectCaption();
}

void windows::projectChanged()
{
    Form::unloadProjectWindows();
}

int roundHalfEven(double value)
{
    return static_cast<int>(std::nearbyint(value)); // the default rounding mode: to even
}

QPoint positionForm(QSize frame, int panelWidth, int width, int height)
{
    return {roundHalfEven((frame.width() - width + panelWidth) / 2.0),
            roundHalfEven((frame.height() - height) / 2.0 - 500)};
}

void onLostFocus(QWidget* box, std::function<void()> handler)
{
    lostFocusHandlers()[box] = std::move(handler);
    box->installEventFilter(lostFocusFilter());
    QObject::connect(box, &QObject::destroyed, lostFocusFilter(),
                     [box] { lostFocusHandlers().erase(box); });
}

void commitFocusedBox()
{
    QWidget* focused = QApplication::focusWidget();
    auto& handlers = lostFocusHandlers();
    // An editable combo box gives the focus to its line edit: look up its owners too.
    for (QWidget* w = focused; w; w = w->parentWidget()) {
        if (auto it = handlers.find(w); it != handlers.end()) {
            const auto handler = it->second;
            services::guarded(handler);
            return;
        }
    }
}

void setBackColour(QWidget* w, const QColor& colour)
{
    QPalette p = w->palette();
    p.setColor(QPalette::Window, colour);
    w->setPalette(p);
    w->setAutoFillBackground(true);
}

int captionWidth(const QAbstractButton* button)
{
    QString text = button->text();
    text.remove(QLatin1Char('&'));
    // The room the style leaves for the caption inside the button, at the button's own width.
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = text;
    option.rect = button->rect();
    QStyle::SubElement contents = QStyle::SE_PushButtonContents;
    if (qobject_cast<const QCheckBox*>(button))
        contents = QStyle::SE_CheckBoxContents;
    else if (qobject_cast<const QRadioButton*>(button))
        contents = QStyle::SE_RadioButtonContents;
    const QRect room = button->style()->subElementRect(contents, &option, button);
    return button->width() - room.width() + button->fontMetrics().horizontalAdvance(text) + 2;
}

namespace {

// A control beside `label` whose left edge its caption (`width` wide) now reaches starts after
// the caption instead, its right edge where it was: the caption is not hidden under it.
void clearCaption(const QLabel* label, int width)
{
    constexpr int gap = 3; // pixels, as the designs leave between a caption and its box
    const QRect caption(label->pos(), QSize(width, label->height()));
    for (QWidget* other :
         label->parentWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        QRect at = other->geometry();
        const bool beside = at.left() > caption.left() && at.left() < caption.right() + gap &&
                            at.top() <= caption.bottom() && at.bottom() >= caption.top();
        if (other == label || qobject_cast<QLabel*>(other) || !beside)
            continue;
        at.setLeft(caption.right() + gap);
        other->setGeometry(at);
    }
}

} // namespace

void fitCaptions(QWidget* window)
{
    // Controls inside a layout are sized by it; only those placed by position are grown.
    const auto placed = [](QWidget* w) {
        QWidget* parent = w->parentWidget();
        return parent && (!parent->layout() || parent->layout()->indexOf(w) < 0);
    };
    for (QLabel* label : window->findChildren<QLabel*>()) {
        if (!placed(label) || label->text().isEmpty())
            continue;
        if (label->wordWrap()) {
            const int needed = label->heightForWidth(label->width());
            if (needed > label->height())
                label->resize(label->width(), needed);
            continue;
        }
        const QSize hint = label->sizeHint();
        if (hint.width() > label->width() || hint.height() > label->height())
            label->resize(std::max(label->width(), hint.width()),
                          std::max(label->height(), hint.height()));
        clearCaption(label, hint.width());
    }
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
        if (!placed(button) || button->text().isEmpty())
            continue;
        // A button's size hint asks for more room than its text needs (a minimum width of the
        // style's): only the text itself, with its margins, must fit.
        const int needed = captionWidth(button);
        if (needed > button->width())
            button->resize(needed, button->height());
    }
}

QString controlName(const QString& name, int index)
{
    return QStringLiteral("%1(%2)").arg(name).arg(index);
}

} // namespace quirelle
