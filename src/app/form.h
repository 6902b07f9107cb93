// The base of every window: one instance per window class, created and loaded on first use,
// placed and sized in twips (15 per pixel), shown inside the main window's client area (or on
// its own for the few top-level windows), and a lost-focus hook for boxes that save when left.
#pragma once

#include <QColor>
#include <QPoint>
#include <QSize>
#include <QWidget>

#include <functional>

class QAbstractButton;
class QMdiArea;
class QMdiSubWindow;

namespace quirelle {

inline constexpr int TwipsPerPixel = 15;
inline int toPixels(int twips)
{
    return twips / TwipsPerPixel;
}
inline int toTwips(int pixels)
{
    return pixels * TwipsPerPixel;
}

// A rectangle in twips.
struct Twips
{
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

// Puts a control at its place in twips.
void place(QWidget* w, const Twips& at);
inline void place(QWidget* w, int left, int top, int width, int height)
{
    place(w, Twips{left, top, width, height});
}

// What a window needs of the main window that holds it. The main window gives itself to the
// windows (Form::setFrame) when it is made.
class Frame
{
public:
    virtual ~Frame() = default;
    virtual QMdiArea* mdiArea() const = 0;
    // The main window's outer size and the options panel's width, in twips.
    virtual QSize sizeInTwips() const = 0;
    virtual int panelWidth() const = 0;
    // Disables the options panel, or enables it again with its own colour.
    virtual void setPanelEnabled(bool enabled) = 0;
    // The caption that names the project and counts its papers.
    virtual void showProjectCaption() = 0;
    // A project was opened: it is checked, and copied when a copy is due, off the window's
    // thread.
    virtual void projectOpened() = 0;
    // Releases the project and stops the program.
    virtual void exitApplication() = 0;
    // The window dialogs of the windows belong to.
    virtual QWidget* dialogParent() = 0;
};

class Form : public QWidget
{
    Q_OBJECT

public:
    enum class Placement { Child, TopLevel };
    // What showing the window does to the options panel: nothing; disable it (some other
    // window's closing gives it back); or disable it until this window is closed by its closing
    // button (closeForm).
    enum class Panel { Leaves, Disables, DisablesUntilClosed };

    // `name` is the window's name, also its objectName; `clientWidth` and `clientHeight` its
    // design client area in twips.
    Form(const QString& name, int clientWidth, int clientHeight,
         Placement placement = Placement::Child, Panel panel = Panel::Leaves);
    ~Form() override;

    static void setFrame(Frame* frame);
    // The main window; fails when there is none.
    static Frame& frame();
    static bool hasFrame();

    void setCaption(const QString& caption);
    QString caption() const;

    // Position and outer size in twips; a child's position counts from the client area.
    int Left() const;
    int Top() const;
    void setLeftTop(int left, int top);
    int Width() const;
    int Height() const;

    // Places the window by positionForm on its own size.
    void placeByPositionForm();
    // Shows it (not modal) and brings it to the front.
    void showForm();
    void hideForm();
    // Leaves it by its closing button: hides it and gives the options panel back when it took it.
    void closeForm();
    // Hides it and runs `open`, which shows another window in its place. When that fails (the
    // file cannot be read), this window shows again and the failure goes on to the handler's
    // guard: the user is never left without a window.
    template<class F>
    void handOver(F&& open)
    {
        hideForm();
        try {
            open();
        } catch (...) {
            showForm();
            throw;
        }
    }
    bool isShown() const;
    // Someone else wrote to the project while the window is shown: it reads its rows again,
    // leaving alone any box the user is typing in.
    virtual void changedElsewhere() {}

    // The frame that holds a child window inside the main window.
    QMdiSubWindow* subWindow() const { return m_sub; }

    // Runs the load handler; called once by the instance holder after construction.
    void loadForm();
    // Closes and destroys the window (its instance is gone; the next use creates it anew).
    void destroyForm();
    void setForgetHook(std::function<void()> forget) { m_forget = std::move(forget); }

    // Destroys every window but the main window, as between tests.
    static void unloadAllForms();
    // Another project was opened: every window that shows rows of a project is destroyed (the
    // next use makes it anew from the project that is open), and the options panel is given
    // back when no window that took it is left on screen.
    static void unloadProjectWindows();

protected:
    // The window's load handler.
    virtual void Form_Load() {}
    // Whether the window shows rows of the project (and so must go when another is opened).
    virtual bool showsProjectRows() const { return false; }
    // The user closed the window with its frame's close box: by default, hide it.
    virtual void closeRequested() { hideForm(); }
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QMdiSubWindow* m_sub = nullptr;
    Placement m_placement;
    Panel m_panel;
    std::function<void()> m_forget;
};

// One instance per window class, created and loaded on first use.
template<class T>
class SingleInstance
{
public:
    static T& instance()
    {
        if (!s_instance) {
            s_instance = new T();
            s_instance->setForgetHook([] { s_instance = nullptr; });
            s_instance->loadForm();
        }
        return *s_instance;
    }
    static bool isLoaded() { return s_instance != nullptr; }
    static void unload()
    {
        if (T* f = s_instance) {
            s_instance = nullptr;
            f->destroyForm();
        }
    }

private:
    static inline T* s_instance = nullptr;
};

// The light background of the options panel and of the editors (&HFFFF80).
inline QColor panelColour()
{
    return QColor(128, 255, 255);
}
void setBackColour(QWidget* w, const QColor& colour);

// positionForm: from the main window's size, the options panel's width and a window's width and
// height (all twips), the left and top that centre the window in the part of the main window
// right of the options panel, 500 twips above the middle. No lower bound is applied.
QPoint positionForm(QSize frame, int panelWidth, int width, int height);

// Halves go to the even neighbour, as the program has always rounded.
int roundHalfEven(double value);

// Calls `handler` when `box` loses the keyboard focus (the box saves its text then).
void onLostFocus(QWidget* box, std::function<void()> handler);
// Runs the lost-focus handler of the box that has the focus now, as if it had been left: the
// program calls it before it ends so that nothing typed is lost.
void commitFocusedBox();

// Lets every caption of `window` show whole in the font in use: a label or a button whose text
// is wider than its place grows to the right (its position stays), a label that wraps grows
// down. Windows call it when they are loaded.
void fitCaptions(QWidget* window);
// The width a button needs to show its caption whole.
int captionWidth(const QAbstractButton* button);

// Gives a control its name as objectName; array members are named "name(index)".
QString controlName(const QString& name, int index);

} // namespace quirelle
