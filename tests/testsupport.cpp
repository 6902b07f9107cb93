// Test helpers for the windows.
#include "testsupport.h"

#include "app/form.h"
#include "app/frmmain.h"
#include "db/project.h"
#include "db/schema.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QTest>

namespace quirelle::test {

Shell::Shell(Start start) : m_previousDir(QDir::currentPath())
{
    services::testing::enable();
    services::testing::reset();
    project().close();
    QDir::setCurrent(folder());
    if (start == Start::OnProject) {
        db::createProjectFile(pathWithoutExtension());
        QFile nif(QStringLiteral("support.nif"));
        if (nif.open(QIODevice::WriteOnly))
            nif.write(("settings\n\"" + pathWithoutExtension() + "\"\n").toUtf8());
        nif.close();
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
    const QRect rect = list->visualItemRect(list->item(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    settle();
}

void doubleClickLine(QListWidget* list, int row)
{
    list->scrollToItem(list->item(row));
    const QRect rect = list->visualItemRect(list->item(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    settle();
}

void click(QWidget* button)
{
    QTest::mouseClick(button, Qt::LeftButton);
    settle();
}

void focusTo(QWidget* widget)
{
    widget->setFocus(Qt::MouseFocusReason);
    settle();
}

void typeKeys(QWidget* widget, const QString& text)
{
    focusTo(widget);
    const QStringList parts = text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < parts.size(); ++i) {
        if (i > 0)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        if (!parts[i].isEmpty())
            QTest::keyClicks(QApplication::focusWidget(), parts[i]);
    }
    settle();
}

void settle()
{
    for (int i = 0; i < 3; ++i)
        QApplication::processEvents();
}

} // namespace quirelle::test
