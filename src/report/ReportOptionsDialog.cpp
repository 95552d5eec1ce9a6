#include "report/ReportOptionsDialog.h"
#include "core/AppInfo.h"
#include "core/Messages.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QLocale>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

ReportOptionsDialog::ReportOptionsDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmReport"));
    setWindowTitle(QStringLiteral("Tarnwell Reporting"));
    setModal(true);

    auto box = [](const QString& name, const QString& text) {
        auto* c = new QCheckBox(text);
        c->setObjectName(name);
        c->setChecked(true);
        return c;
    };
    lblSensor = new QLabel;
    lblSensor->setObjectName(QStringLiteral("lblSensor"));
    QFont bold = lblSensor->font();
    bold.setBold(true);
    lblSensor->setFont(bold);
    lblContents = new QLabel(QStringLiteral("Select the contents to include in the report:"));
    lblContents->setObjectName(QStringLiteral("Label1"));
    chkCover = box(QStringLiteral("chkCover"), QStringLiteral("Sensor Information Cover Page"));
    grpPlots = new QGroupBox(QStringLiteral("Plots:"));
    grpPlots->setObjectName(QStringLiteral("Frame1"));
    chkTemp = box(QStringLiteral("chkTemp"), QStringLiteral("Load v Time"));
    chkRate = box(QStringLiteral("chkRate"), QStringLiteral("Disp v Time"));
    chkSpatial = box(QStringLiteral("chkSpatial"), QStringLiteral("Load v Length"));
    chkDvL = box(QStringLiteral("chkDvL"), QStringLiteral("Disp v Length"));
    chkSvL = box(QStringLiteral("chkSvL"), QStringLiteral("Shear v Length"));
    chkSvL->setChecked(false);
    auto* plots = new QVBoxLayout(grpPlots);
    for (QCheckBox* c : {chkTemp, chkRate, chkSpatial, chkDvL, chkSvL}) plots->addWidget(c);
    // The PDF is the copy to hand on: it has page numbers and opens anywhere.
    chkPdf = box(QStringLiteral("chkPdf"), QStringLiteral("Also save the report as a PDF file (with page numbers)"));

    // The period: a month's report is what is handed on most often, so the month up to
    // today comes first; "Whole record" spans the sensor's readings.
    auto dateBox = [](const QString& name, const QDate& date) {
        auto* d = new QDateEdit(date);
        d->setObjectName(name);
        d->setCalendarPopup(true);
        QString format = QLocale::system().dateFormat(QLocale::ShortFormat);
        if (!format.contains(QLatin1String("yyyy"))) format.replace(QLatin1String("yy"), QLatin1String("yyyy"));
        d->setDisplayFormat(format);
        return d;
    };
    const QDate today = QDate::currentDate();
    dtpFrom = dateBox(QStringLiteral("dtpFrom"), today.addMonths(-1));
    dtpTo = dateBox(QStringLiteral("dtpTo"), today);
    cmdWholeRecord = new QPushButton(QStringLiteral("Whole record"));
    cmdWholeRecord->setObjectName(QStringLiteral("cmdWholeRecord"));
    cmdWholeRecord->setAutoDefault(false);
    connect(cmdWholeRecord, &QPushButton::clicked, this, [this] {
        if (!m_first.isValid()) return;
        dtpFrom->setDate(m_first);
        dtpTo->setDate(m_last);
    });
    auto* periodBox = new QGroupBox(QStringLiteral("Period:"));
    periodBox->setObjectName(QStringLiteral("fraPeriod"));
    auto* period = new QHBoxLayout(periodBox);
    auto* fromLabel = new QLabel(QStringLiteral("From"));
    fromLabel->setBuddy(dtpFrom);
    auto* toLabel = new QLabel(QStringLiteral("to"));
    toLabel->setBuddy(dtpTo);
    period->addWidget(fromLabel);
    period->addWidget(dtpFrom);
    period->addWidget(toLabel);
    period->addWidget(dtpTo);
    period->addWidget(cmdWholeRecord);

    cmdOK = new QPushButton(QStringLiteral("OK"));
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"));
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    connect(cmdOK, &QPushButton::clicked, this, &ReportOptionsDialog::onOkClicked);
    connect(cmdCancel, &QPushButton::clicked, this, &ReportOptionsDialog::onCancelClicked);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    auto* v = new QVBoxLayout(this);
    v->addWidget(lblSensor);
    v->addWidget(lblContents);
    v->addWidget(chkCover);
    v->addWidget(periodBox);
    v->addWidget(grpPlots);
    v->addWidget(chkPdf);
    v->addLayout(buttons);

    // The keyboard goes down the window as it reads.
    QWidget* order[] = {chkCover,   dtpFrom, dtpTo,  cmdWholeRecord, chkTemp, chkRate,
                        chkSpatial, chkDvL,  chkSvL, chkPdf,         cmdOK,   cmdCancel};
    for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
}

void ReportOptionsDialog::onOkClicked()
{
    if (dtpFrom->date() > dtpTo->date()) {
        Messages::show(
            QStringLiteral("The period starts after it ends.\r\nChoose a From date on or before the To date."),
            AppInfo::MessageTitle, Messages::Icon::Exclamation);
        dtpFrom->setFocus();
        return;
    }
    ReportOptions& chosen = m_answer.emplace();
    chosen.from = dtpFrom->date();
    chosen.to = dtpTo->date();
    chosen.cover = chkCover->isChecked();
    chosen.loadVTime = chkTemp->isChecked();
    chosen.dispVTime = chkRate->isChecked();
    chosen.loadVLength = chkSpatial->isChecked();
    chosen.dispVLength = chkDvL->isChecked();
    chosen.shearVLength = chkSvL->isChecked();
    chosen.pdf = chkPdf->isChecked();
    hide();
    done(Accepted);
}

std::optional<ReportOptions> ReportOptionsDialog::ask()
{
    m_answer.reset();
    exec();
    return m_answer;
}

void ReportOptionsDialog::setSensor(const QString& id)
{
    lblSensor->setText(id.isEmpty() ? QStringLiteral("No sensor is chosen.")
                                    : QStringLiteral("Report on sensor ") + id);
}

void ReportOptionsDialog::setRecordSpan(const QDate& first, const QDate& last)
{
    m_first = first;
    m_last = last;
    cmdWholeRecord->setEnabled(first.isValid());
}

void ReportOptionsDialog::onCancelClicked()
{
    m_answer.reset();
    hide();
    done(Rejected);
}

// Escape and the window's close box cancel, as the Cancel button does.
void ReportOptionsDialog::reject()
{
    m_answer.reset();
    QDialog::reject();
}
