// The desktop's side of the window services: a folder chosen with the file dialog, and files,
// folders and web pages opened with the desktop's programs. Tests see what was asked through the
// hooks below, and nothing is opened then. Declarations use only QtCore types.
#pragma once

#include "app/services.h"

#include <QUrl>

namespace quirelle::services {

// Folder mode: the chosen folder, or nothing when the user cancelled. While testing, the answer
// comes from the same queue as the file dialogs' (testing::setNextFileName).
std::optional<QString> showFolder(const FileDialogSettings& settings);

// Opens `url` (a file, a folder, a web page) with the desktop's program for it; false when
// there is none.
bool openUrl(const QUrl& url);

namespace testing {
// What openUrl was asked to open, in order, since the last reset.
const std::vector<QUrl>& openedUrls();
} // namespace testing

} // namespace quirelle::services
