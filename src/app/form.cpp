// Window placement, lifetime and the lost-focus hook.
#include "app/form.h"

#include "app/frmmain.h"
#include "app/frmmenu.h"
#include "app/services.h"
#include "db/globals.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>

#include <cmath>
#include <map>

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

} // namespace

Form::Form(const QString& name, int clientWidth, int clientHeight, Placement placement)
    : m_placement(placement)
{
    setObjectName(name);
    setAttribute(Qt::WA_DeleteOnClose, false);
    const QSize client(toPixels(clientWidth), toPixels(clientHeight));
    resize(client);
    setMinimumSize(client);
    liveForms().push_back(this);
    if (placement == Placement::Child) {
        QMdiArea* area = frmMain::instance().mdiArea();
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
    positionForm(Width(), Height());
    setLeftTop(globals().formLeft, globals().formTop);
}

void Form::showForm()
{
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

bool Form::isShown() const
{
    return m_sub ? m_sub->isVisible() : isVisible();
}

void Form::loadForm()
{
    Form_Load();
}

void Form::destroyForm()
{
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

int roundHalfEven(double value)
{
    return static_cast<int>(std::nearbyint(value)); // the default rounding mode: to even
}

void positionForm(int width, int height)
{
    Globals& g = globals();
    const int frameWidth = toTwips(frmMain::instance().width());
    const int frameHeight = toTwips(frmMain::instance().height());
    const int panelWidth = frmMenu::isLoaded() ? frmMenu::instance().Width() : 0;
    g.formLeft = roundHalfEven((frameWidth - width + panelWidth) / 2.0);
    g.formTop = roundHalfEven((frameHeight - height) / 2.0 - 500);
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

QString controlName(const QString& name, int index)
{
    return QStringLiteral("%1(%2)").arg(name).arg(index);
}

} // namespace quirelle
