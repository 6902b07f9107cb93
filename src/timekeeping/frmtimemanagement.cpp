// Time entry.
#include "timekeeping/frmtimemanagement.h"

#include "app/listviews.h"
#include "app/services.h"
#include "app/windows.h"
#include "db/dberror.h"
#include "db/project.h"
#include "db/sharedqueries.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

namespace quirelle {

frmTimeManagement::frmTimeManagement() : Form(QStringLiteral("frmTimeManagement"), 4200, 1700)
{
    setCaption(QStringLiteral("Time Management"));
    // Both boxes take the text as typed: no completion from their lists changes it.
    Label1[0] = new QLabel(QStringLiteral("Use:"), this);
    Label1[0]->setObjectName(controlName(QStringLiteral("Label1"), 0));
    place(Label1[0], 120, 120, 1500, 255);
    cmbWork = new WideCombo(this);
    cmbWork->setObjectName(QStringLiteral("cmbWork"));
    cmbWork->setEditable(true);
    cmbWork->setInsertPolicy(QComboBox::NoInsert);
    cmbWork->setCompleter(nullptr);
    place(cmbWork, 120, 400, 3900, 315);
    Label1[1] = new QLabel(QStringLiteral("Hours:"), this);
    Label1[1]->setObjectName(controlName(QStringLiteral("Label1"), 1));
    place(Label1[1], 120, 840, 1500, 255);
    cmbTime = new WideCombo(this);
    cmbTime->setObjectName(QStringLiteral("cmbTime"));
    cmbTime->setEditable(true);
    cmbTime->setInsertPolicy(QComboBox::NoInsert);
    cmbTime->setCompleter(nullptr);
    cmbTime->addItems({QStringLiteral("1/2"), QStringLiteral("1"), QStringLiteral("2"),
                       QStringLiteral("3"), QStringLiteral("4")});
    cmbTime->setCurrentIndex(-1);
    place(cmbTime, 120, 1120, 1500, 315);
    cmdAdd = new QPushButton(QStringLiteral("Add"), this);
    cmdAdd->setObjectName(QStringLiteral("cmdAdd"));
    place(cmdAdd, 2040, 840, 975, 330);
    cmdDone = new QPushButton(QStringLiteral("Done"), this);
    cmdDone->setObjectName(QStringLiteral("cmdDone"));
    place(cmdDone, 2040, 1200, 975, 330);
    QObject::connect(cmdAdd, &QPushButton::clicked, this,
                     [this] { services::guarded([this] { cmdAdd_Click(); }); });
    QObject::connect(cmdDone, &QPushButton::clicked, this,
                     [this] { services::guarded([this] { cmdDone_Click(); }); });
    setTabOrder(cmbWork, cmbTime);
    setTabOrder(cmbTime, cmdAdd);
    setTabOrder(cmdAdd, cmdDone);
}

void frmTimeManagement::Form_Load()
{
    // Without a project there is nothing to list, and nothing to log the hours in. Subjects
    // that cannot be read (another program holds the file) are said, and the window still
    // offers the way out of the program.
    services::guarded([this] {
        if (!project().isOpen())
            return;
        db::Recordset rs;
        openQuery(rs, QStringLiteral("select * from [Time Management];"));
        QStringList subjects;
        db::forEachRow(rs, [&] { subjects << rs.Fields(QStringLiteral("Subject")).text(); });
        cmbWork->addItems(subjects);
    });
    cmbWork->setCurrentIndex(-1);
    placeByPositionForm();
}

void frmTimeManagement::cmdAdd_Click()
{
    const QString work = cmbWork->currentText();
    const QString time = cmbTime->currentText();
    if (!work.isEmpty() && !time.isEmpty() && project().isOpen()) {
        try {
            db::Recordset rs =
                project().db().OpenRecordset(QStringLiteral("select * from [Time Management];"));
            rs.AddNew();
            rs.Fields(QStringLiteral("Time")) =
                time == QLatin1String("1/2") ? QStringLiteral("0.5") : time;
            rs.Fields(QStringLiteral("Subject")) = work;
            rs.Update();
        } catch (const db::DbError& e) {
            // The entry is not lost silently: say why, and let the user mend it.
            services::MsgBox(QStringLiteral("The hours could not be stored: ") + e.description(),
                             services::Icon::Critical);
            return;
        }
    }
    hideForm();
    frame().exitApplication();
}

void frmTimeManagement::cmdDone_Click()
{
    hideForm();
    frame().exitApplication();
}

void windows::showTimeEntry()
{
    frmTimeManagement::instance().showForm();
}

void frmTimeManagement::closeRequested()
{
    hideForm();
}

} // namespace quirelle
