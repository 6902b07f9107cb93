// What the window benchmarks share: the program started on a copy of the project, a window's
// control found by its name, a measure that ends when a widget has painted, and main().
#pragma once

#include "app/frmmain.h"
#include "app/services.h"
#include "benchcommon.h"
#include "db/dberror.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <QWidget>

#include <cstdio>
#include <functional>

namespace quirelle::bench {

// A window's control by its name, as accessibility tools find it.
template<class T = QWidget>
T* control(const QWidget& window, const char* name)
{
    T* found = window.findChild<T*>(QString::fromLatin1(name));
    if (!found)
        qFatal("no control %s", name);
    return found;
}

// Counts the paints of one widget, so that a measure can end when it is on screen.
class PaintWatch final : public QObject
{
public:
    explicit PaintWatch(QWidget* w) { w->installEventFilter(this); }
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

// Runs `call`, then lets the events run until the watched widget has painted itself again.
// Returns the time on the clock; `cpu` receives the processor time.
inline double timedUntilPainted(PaintWatch& watch, const std::function<void()>& call,
                                double* cpu = nullptr)
{
    const int before = watch.paints;
    const double cpuStart = cpuMs();
    const double start = nowMs();
    call();
    const double deadline = nowMs() + 10000;
    while (watch.paints == before && nowMs() < deadline)
        QApplication::processEvents();
    QApplication::processEvents();
    const double ms = nowMs() - start;
    if (cpu)
        *cpu = cpuMs() - cpuStart;
    if (watch.paints == before)
        std::printf("  (the window did not paint)\n");
    return ms;
}

// Copies the project into `dir` as "<name>.mdb", makes `dir` the working directory with a
// settings file that names the copy, and answers message boxes at once; the program then starts
// on the copy, so the file given is never changed. Returns the copy's path without ".mdb", or ""
// when it could not be made.
inline QString startOnCopy(const QString& source, const QTemporaryDir& dir, const QString& name)
{
    const QString copy = dir.filePath(name);
    if (!QFile::copy(source, copy + QStringLiteral(".mdb")))
        return {};
    QDir::setCurrent(dir.path());
    QFile nif(QStringLiteral("support.nif"));
    if (!nif.open(QIODevice::WriteOnly))
        return {};
    nif.write(("settings\n\"" + copy + "\"\n").toUtf8());
    services::testing::enable();
    return copy;
}

// main() of a window benchmark that takes the project file: no display needed, engine errors
// reported.
inline int windowBenchMain(int argc, char** argv, const char* name,
                           const std::function<int(const QString&)>& run)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <project.mdb>\n", name);
        return 2;
    }
    try {
        return run(QFile::decodeName(argv[1]));
    } catch (const db::DbError& e) {
        std::fprintf(stderr, "%s: error %d: %s\n", name, e.number(), qPrintable(e.description()));
        return 1;
    }
}

} // namespace quirelle::bench
