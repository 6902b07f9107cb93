// The about window.
#include "app/frmsplash.h"

#include "app/services.h"

#include <QGroupBox>
#include <QLabel>
#include <QTextDocument>

#include <QTextEdit>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace quirelle {

frmSplash::frmSplash() : Form(QStringLiteral("frmSplash"), 4635, 3420, Placement::TopLevel)
{
    setCaption(QString());
    auto* layout = new QVBoxLayout(this);
    Label1 = new QLabel(QStringLiteral("Corvantis"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFont(QFont(QStringLiteral("Arial"), 24, QFont::Bold));
    Label2 = new QLabel(QStringLiteral("Tessiva - Research Assistant"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setFont(QFont(QStringLiteral("Times New Roman"), 14));
    Frame1 = new QGroupBox(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    auto* frameLayout = new QVBoxLayout(Frame1);
    Text3 = new QTextEdit(Frame1);
    Text3->setObjectName(QStringLiteral("Text3"));
    Text3->setReadOnly(true);
    Text3->setPlainText(QStringLiteral("For help please see\nCorvantis Tessiva.doc in your "
                                       "installation \ndirectory\n"));
    frameLayout->addWidget(Text3);
    // The help text shows whole, each of its lines on one line.
    Text3->setLineWrapMode(QTextEdit::NoWrap);
    Text3->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Text3->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    const QFontMetrics metrics(Text3->font());
    const int margins =
        2 * (Text3->frameWidth() + static_cast<int>(Text3->document()->documentMargin()));
    int widest = 0;
    for (const QString& line : Text3->toPlainText().split(QLatin1Char('\n')))
        widest = std::max(widest, metrics.horizontalAdvance(line));
    Text3->setMinimumSize(widest + margins + 4, 4 * metrics.lineSpacing() + margins);
    Text2 = new QTextEdit(this);
    Text2->setObjectName(QStringLiteral("Text2"));
    Text2->setReadOnly(true);
    Text2->setPlainText(QStringLiteral("Email: support@quirelle.example"));
    Text2->setMaximumHeight(toPixels(500));
    Text1 = new QTextEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setMaximumHeight(toPixels(500));
    for (QWidget* w : {static_cast<QWidget*>(Label1), static_cast<QWidget*>(Label2),
                       static_cast<QWidget*>(Frame1), static_cast<QWidget*>(Text2),
                       static_cast<QWidget*>(Text1)}) {
        layout->addWidget(w);
    }
    // The window is as large as its design, or larger when its texts need it in the font in use.
    const QSize needed = size().expandedTo(layout->minimumSize());
    setMinimumSize(needed);
    resize(needed);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(3000);
    Timer1->setSingleShot(true);
    QObject::connect(Timer1, &QTimer::timeout, this, [] { services::guarded([] { unload(); }); });
}

void frmSplash::Form_Load()
{
    placeByPositionForm();
    Timer1->start();
}

void frmSplash::populate()
{
    showForm();
}

} // namespace quirelle
