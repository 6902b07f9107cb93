// Test helpers for the windows.
#include "testsupport.h"

#include "app/form.h"
#include "app/projectsafety.h"

#include <QAction>
#include <QApplication>
#include <QProcess>

#include <unistd.h>

namespace quirelle::test {

Shell::Shell(Start start) : m_previousDir(QDir::currentPath())
{
    services::testing::enable();
    services::testing::reset();
    project().close();
    QDir::setCurrent(folder());
    if (start == Start::OnProject) {
        db::createProjectFile(pathWithoutExtension());
        writeFile(QStringLiteral("support.nif"),
                  ("settings\n\"" + pathWithoutExtension() + "\"\n").toUtf8());
    }
    services::guarded([] { frmMain::instance(); });
    settle();
}

Shell::~Shell()
{
    frmMain::unload();
    project().close();
    services::testing::reset();
    QDir::setCurrent(m_previousDir);
}

db::Database& Shell::db()
{
    return project().db();
}

void Shell::restart()
{
    frmMain::unload();
    project().close();
    services::testing::forgetShown();
    services::guarded([] { frmMain::instance(); });
    settle();
}

QStringList prompts()
{
    QStringList out;
    for (const auto& m : services::testing::messages())
        out << m.prompt;
    return out;
}

QString lastPrompt()
{
    const auto& shown = services::testing::messages();
    return shown.empty() ? QString() : shown.back().prompt;
}

void fromMenu(const char* name)
{
    control<QAction>(frmMain::instance(), QString::fromLatin1(name))->trigger();
    settle();
}

void panelButton(int index)
{
    click(control(frmMenu::instance(), controlName(QStringLiteral("cmdButton"), index)));
}

void openByMenu(const QString& file)
{
    services::testing::setNextFileName(file);
    fromMenu("mnuOpen");
}

QString caption()
{
    return frmMain::instance().windowTitle();
}

QString projectCaption(const QString& project, int papers)
{
    return QStringLiteral("Corvantis Tessiva V1.8 - Project: %1 - Papers added: %2")
        .arg(project)
        .arg(papers);
}

QStringList lines(const QListWidget* list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

QStringList lines(const QComboBox* combo)
{
    QStringList out;
    for (int i = 0; i < combo->count(); ++i)
        out << combo->itemText(i);
    return out;
}

void clickLine(QListWidget* list, int row)
{
    list->scrollToItem(list->item(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(row)).center());
    settle();
}

void doubleClickLine(QListWidget* list, int row)
{
    list->scrollToItem(list->item(row));
    const QPoint at = list->visualItemRect(list->item(row)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    settle();
}

void click(QWidget* button)
{
    QTest::mouseClick(button, Qt::LeftButton);
    settle();
}

void focusTo(QWidget* widget)
{
    // As a click does: the window comes to the front, then the widget takes the focus.
    widget->window()->activateWindow();
    widget->setFocus(Qt::MouseFocusReason);
    settle();
    const QWidget* focused = QApplication::focusWidget();
    QVERIFY2(focused && (focused == widget || widget->isAncestorOf(focused)),
             qPrintable(widget->objectName() + QStringLiteral(" cannot take the focus")));
}

void typeKeys(QWidget* widget, const QString& text)
{
    focusTo(widget);
    for (qsizetype i = 0; i < text.size(); ++i) {
        QWidget* target = QApplication::focusWidget();
        const QChar c = text[i];
        if (c == QLatin1Char('\n')) {
            QTest::keyClick(target, Qt::Key_Return);
        } else if (c.unicode() < 0x80 && c.isPrint()) {
            QTest::keyClick(target, c.toLatin1());
        } else {
            // A key that gives this character as its text, as an input method gives it.
            const qsizetype n = c.isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
            QTest::sendKeyEvent(QTest::Click, target, Qt::Key_unknown, text.mid(i, n),
                                Qt::NoModifier);
            i += n - 1;
        }
    }
    settle();
}

void replaceText(QWidget* widget, const QString& text)
{
    focusTo(widget);
    pressKey(Qt::Key_A, Qt::ControlModifier);
    pressKey(Qt::Key_Delete);
    typeKeys(widget, text);
}

void pressKey(Qt::Key key, Qt::KeyboardModifiers modifiers)
{
    QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    settle();
}

void settle()
{
    for (int i = 0; i < 3; ++i)
        QApplication::processEvents();
    // The check and the backup copy of a project just opened run on a thread of their own: a
    // test goes on once they have reported, as a user would see their result.
    if (frmMain::isLoaded()) {
        frmMain::instance().safety().waitUntilIdle();
        QApplication::processEvents();
    }
}

FullDisk::FullDisk(const QString& parent)
    : m_parent(parent), m_folder(QDir(parent).filePath(QStringLiteral("small disk")))
{
    if (::geteuid() != 0) {
        m_unavailable = QStringLiteral("mounting a small file system needs root");
        return;
    }
    QDir().mkpath(m_folder);
    if (QProcess::execute(QStringLiteral("mount"),
                          {"-t", "tmpfs", "-o", "size=256k", "tmpfs", m_folder}) != 0)
        m_unavailable = QStringLiteral("a small file system could not be mounted");
}

FullDisk::~FullDisk()
{
    if (!m_unavailable.isEmpty())
        return;
    // A working directory inside keeps the file system busy.
    if (QDir::currentPath().startsWith(m_folder))
        QDir::setCurrent(m_parent);
    if (QProcess::execute(QStringLiteral("umount"), {m_folder}) != 0)
        QProcess::execute(QStringLiteral("umount"), {"-l", m_folder});
}

void FullDisk::fill()
{
    QFile filler(QDir(m_folder).filePath(QStringLiteral("filler")));
    if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return;
    const QByteArray block(4096, 'f');
    for (int i = 0; i < 1024 && filler.write(block) == block.size(); ++i) {}
    // What is left of the last page, byte by byte.
    while (filler.write("f", 1) == 1) {}
}

} // namespace quirelle::test
