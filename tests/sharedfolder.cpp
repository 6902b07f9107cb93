// Where the shared test data is: the build tells this source alone where the project's source
// tree is (the test programs share precompiled headers that must see the same definitions).
#include "dbtestsupport.h"

namespace quirelle::test {

QString sharedFolder(const QString& sub)
{
    QString root = qEnvironmentVariable("QUIRELLE_SHARED_DIR");
    if (root.isEmpty())
        root = QStringLiteral(QUIRELLE_SOURCE_DIR "/../shared");
    const QDir folder(root + QLatin1Char('/') + sub);
    return folder.exists() ? folder.canonicalPath() : QString();
}

} // namespace quirelle::test
