#include "readings/DeleteReadingsDialog.h"
#include "core/AppInfo.h"
#include "core/Messages.h"
#include "readings/ReadingFormats.h"
#include "session/Shared.h"

#include <QCalendarWidget>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
QLabel* label(QWidget* parent, const char* name, const QString& text)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    l->setWordWrap(true);
    return l;
}

QPushButton* button(QWidget* parent, const char* name, const QString& text)
{
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    b->setMinimumWidth(130);
    return b;
}
}  // namespace

DeleteReadingsDialog::DeleteReadingsDialog(QWidget* parent) : DeleteReadingsDialog(BatchDelSensor{}, parent) {}

DeleteReadingsDialog::DeleteReadingsDialog(const BatchDelSensor& sensor, QWidget* parent)
    : QDialog(parent),
      m_sensor(sensor)
{
    setObjectName(QStringLiteral("frmBatchDel"));
    setWindowTitle(QStringLiteral("SensorData Deletion"));
    setModal(true);

    // Loading: no choice made yet, both calendars on today.

    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(16, 14, 16, 14);
    v->setSpacing(10);

    auto* heading = label(this, "Label9", QStringLiteral("BATCH DELETE a group of readings by date:"));
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    // The sensor whose readings are deleted, how many it has and from when to when.
    lblSensor = label(this, "lblSensor", QString());
    if (!m_sensor.id.isEmpty()) {
        QFont big = bold;
        big.setPointSizeF(big.pointSizeF() + 1);
        lblSensor->setFont(big);
        const QLocale loc = QLocale::system();
        lblSensor->setText(m_sensor.readings == 0 ? QStringLiteral("Sensor %1 has no readings.").arg(m_sensor.id)
                                                  : QStringLiteral("Sensor %1: %2 reading%3, from %4 to %5")
                                                        .arg(m_sensor.id)
                                                        .arg(m_sensor.readings)
                                                        .arg(m_sensor.readings == 1 ? "" : "s")
                                                        .arg(loc.toString(m_sensor.first, QLocale::ShortFormat),
                                                             loc.toString(m_sensor.last, QLocale::ShortFormat)));
    }
    lblSensor->setVisible(!m_sensor.id.isEmpty());
    v->addWidget(lblSensor);
    v->addWidget(heading);

    auto* calendars = new QGridLayout;
    calendars->setHorizontalSpacing(20);
    DelStart = new QCalendarWidget(this);
    DelStart->setObjectName(QStringLiteral("DelStart"));
    DelEnd = new QCalendarWidget(this);
    DelEnd->setObjectName(QStringLiteral("DelEnd"));
    for (QCalendarWidget* c : {DelStart, DelEnd}) {
        c->setSelectedDate(QDate::currentDate());
        c->setGridVisible(true);
        c->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    }
    // The sensor's first and last reading days, so a range starts from what there is.
    if (m_sensor.first.isValid()) DelStart->setSelectedDate(m_sensor.first);
    if (m_sensor.last.isValid()) DelEnd->setSelectedDate(m_sensor.last);
    calendars->addWidget(label(this, "Label2", QStringLiteral("Select start date")), 0, 0);
    calendars->addWidget(label(this, "Label3", QStringLiteral("Select end date")), 0, 1);
    calendars->addWidget(DelStart, 1, 0);
    calendars->addWidget(DelEnd, 1, 1);
    v->addLayout(calendars);

    v->addWidget(
        label(this, "Label1",
              QStringLiteral("All sensor data found on or between the dates selected above will be permanently "
                             "deleted from the database. Click the DELETE button below to continue or Cancel "
                             "to return to the main form.")));
    OKButton = button(this, "OKButton", QStringLiteral("BATCH DELETE"));
    v->addWidget(OKButton, 0, Qt::AlignHCenter);

    auto* warning = label(this, "Label4", QStringLiteral("WARNING: These operations cannot be undone"));
    warning->setFont(bold);
    warning->setStyleSheet(QStringLiteral("QLabel { color: #B00000; }"));
    warning->setAlignment(Qt::AlignHCenter);
    v->addWidget(warning);

    auto* choices = new QGridLayout;
    choices->setHorizontalSpacing(12);
    auto* l5 = label(this, "Label5", QStringLiteral("Click DELETE button to confirm deletetion of current reading ->"));
    auto* l7 =
        label(this, "Label7", QStringLiteral("Click DELETE ALL button to confirm deletetion of ALL readings ->"));
    l5->setWordWrap(false);
    l7->setWordWrap(false);
    cmdSingleDel = button(this, "cmdSingleDel", QStringLiteral("DELETE"));
    cmdDeleteAll = button(this, "Command1", QStringLiteral("DELETE ALL"));
    choices->addWidget(l5, 0, 0);
    choices->addWidget(cmdSingleDel, 0, 1);
    choices->addWidget(l7, 1, 0);
    choices->addWidget(cmdDeleteAll, 1, 1);
    v->addLayout(choices);

    CancelButton = button(this, "CancelButton", QStringLiteral("CANCEL"));
    CancelButton->setDefault(true);
    v->addWidget(CancelButton, 0, Qt::AlignHCenter);

    connect(OKButton, &QPushButton::clicked, this, &DeleteReadingsDialog::onBatchDeleteClicked);
    connect(cmdSingleDel, &QPushButton::clicked, this, &DeleteReadingsDialog::onDeleteOneClicked);
    connect(cmdDeleteAll, &QPushButton::clicked, this, &DeleteReadingsDialog::onDeleteAllClicked);
    connect(CancelButton, &QPushButton::clicked, this, &DeleteReadingsDialog::onCancelClicked);
    CancelButton->setFocus();
}

bool DeleteReadingsDialog::confirm(const QString& question)
{
    return Messages::show(question, QStringLiteral("SensorData Deletion"), Messages::Icon::Exclamation,
                          Messages::Buttons::YesNo, Messages::Answer::No) == Messages::Answer::Yes;
}

void DeleteReadingsDialog::onBatchDeleteClicked()
{
    const QDate start = DelStart->selectedDate();
    const QDate end = DelEnd->selectedDate();
    if (!m_sensor.id.isEmpty()) {
        const qint64 count = m_sensor.countBetween ? m_sensor.countBetween(start, end) : 0;
        if (count == 0) {
            Messages::show(ReadingFormats::nothingInRangeMessage(m_sensor.id, start, end), AppInfo::MessageTitle,
                           Messages::Icon::Information);
            return;
        }
        if (!confirm(ReadingFormats::deleteRangeQuestion(m_sensor.id, count, start, end))) return;
    }
    m_choice.dateRange = true;
    m_choice.start = start;
    m_choice.end = end;
    accept();
}

void DeleteReadingsDialog::onDeleteOneClicked()
{
    if (!m_sensor.id.isEmpty()) {
        if (m_sensor.shownReading.isEmpty()) {
            Messages::show(ReadingFormats::noReadingsMessage(m_sensor.id), AppInfo::MessageTitle,
                           Messages::Icon::Information);
            return;
        }
        if (!confirm(ReadingFormats::deleteOneQuestion(m_sensor.id, m_sensor.shownReading))) return;
    }
    m_choice.single = true;
    accept();
}

void DeleteReadingsDialog::onDeleteAllClicked()
{
    if (!m_sensor.id.isEmpty()) {
        if (m_sensor.readings == 0) {
            Messages::show(ReadingFormats::noReadingsMessage(m_sensor.id), AppInfo::MessageTitle,
                           Messages::Icon::Information);
            return;
        }
        if (!confirm(ReadingFormats::deleteAllQuestion(m_sensor.id, m_sensor.readings))) return;
    }
    m_choice.all = true;
    accept();
}

void DeleteReadingsDialog::onCancelClicked() { reject(); }

std::optional<DeletionChoice> DeleteReadingsDialog::ask()
{
    exec();
    if (!m_choice.single && !m_choice.dateRange && !m_choice.all) return std::nullopt;
    return m_choice;
}
