// The time sheet: the hours logged, totalled by subject.
#pragma once

#include "app/form.h"

#include <optional>

class QListWidget;
class QPushButton;

namespace quirelle {

class frmTimeSheet final : public Form, public SingleInstance<frmTimeSheet>
{
    Q_OBJECT

public:
    frmTimeSheet();
    void populate();

protected:
    void Form_Load() override;
    bool showsProjectRows() const override { return true; }

private:
    QListWidget* lstTimesheet;
    QPushButton* cmdBack;
};

// Hours as stored, in ten-thousandths of an hour: "0.5", "3", "2,5" in the user's own number
// format. Nothing when the text is not a number.
std::optional<qint64> parseHours(const QString& text);
// A total in its shortest form with the user's decimal separator: 3, 3.5, 0.25.
QString formatHours(qint64 tenThousandths);

} // namespace quirelle
