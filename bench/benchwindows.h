// What the window benchmarks share: a window's control found by its name.
#pragma once

#include <QString>
#include <QWidget>

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

} // namespace quirelle::bench
