// Start-up: the frame, the options panel and the caption on a fresh project.
#include "app/frmmain.h"
#include "app/frmmenu.h"
#include "testsupport.h"

#include <QTest>

using namespace quirelle;

class TstStartup : public QObject
{
    Q_OBJECT

private slots:
    void startsOnTheRecordedProject()
    {
        test::Shell shell;
        QVERIFY(frmMain::instance().isVisible());
        QVERIFY(frmMenu::instance().isShown());
        QCOMPARE(frmMain::instance().windowTitle(),
                 QStringLiteral("Corvantis Tessiva V1.8 - Project: %1 - Papers added: 0")
                     .arg(shell.pathWithoutExtension()));
    }
};

QTEST_MAIN(TstStartup)
#include "tst_startup.moc"
