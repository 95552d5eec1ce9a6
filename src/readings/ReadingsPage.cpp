// The "3. Readings" page: its controls, the key filters of the reading boxes and the
// set-up of those boxes for the current sensor's type (ConfigureForm).
#include "readings/ReadingsController.h"
#include "core/ErrorTrap.h"
#include "readings/ReadingFormats.h"
#include "readings/ReadingRules.h"
#include "session/Shared.h"
#include "widgets/ActionButton.h"
#include "widgets/PageHost.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QDateEdit>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QTimeEdit>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const QColor BoxWhite(0xFF, 0xFF, 0xFF);
const QColor BoxGrey(0xE0, 0xE0, 0xE0);

void setBoxColour(QLineEdit* box, const QColor& colour)
{
    QPalette p = box->palette();
    p.setColor(QPalette::Base, colour);
    box->setPalette(p);
}

// Passes a typed character to the page's key filter; a character it answers 0 for is
// discarded. Keys that type nothing (arrows, Home) and shortcuts (Ctrl+C) are left alone.
class ReadingKeyFilter : public QObject {
public:
    ReadingKeyFilter(QObject* parent, std::function<int(int)> filter) : QObject(parent), m_filter(std::move(filter)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(event);
            if (key->modifiers() & (Qt::ControlModifier | Qt::MetaModifier | Qt::AltModifier))
                return QObject::eventFilter(watched, event);
            const QString text = key->text();
            if (!text.isEmpty()) {
                for (const QChar c : text)
                    if (m_filter(c.unicode()) == 0) return true;  // discarded
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<int(int)> m_filter;
};

QLabel* caption(QWidget* parent, const QString& name, const QString& text)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    return l;
}

// An image with its caption below it, as one column of an action bar.
QWidget* actionColumn(const ActionPair& pair)
{
    auto* box = new QWidget;
    auto* v = new QVBoxLayout(box);
    v->setContentsMargins(4, 0, 4, 0);
    v->setSpacing(2);
    pair.image->setParent(box);
    pair.label->setParent(box);
    pair.label->setAlignment(Qt::AlignHCenter);
    v->addWidget(pair.image, 0, Qt::AlignHCenter);
    v->addWidget(pair.label, 0, Qt::AlignHCenter);
    return box;
}

}  // namespace

void ReadingsController::buildPage()
{
    m_page = new QWidget;
    m_page->setObjectName(QStringLiteral("pageReadings"));
    QStyle* style = m_page->style();
    auto* outer = new QVBoxLayout(m_page);
    outer->setContentsMargins(24, 20, 24, 16);
    outer->setSpacing(12);

    auto* body = new QHBoxLayout;
    body->setSpacing(40);
    outer->addLayout(body);

    // Left: the reading's key, date, time and values.
    auto* form = new QGridLayout;
    form->setHorizontalSpacing(10);
    form->setVerticalSpacing(8);
    int row = 0;
    txtReadingID = new QLineEdit(m_page);
    txtReadingID->setObjectName(QStringLiteral("txtReadingID"));
    txtReadingID->setReadOnly(true);
    txtReadingID->setMinimumWidth(240);
    form->addWidget(caption(m_page, QStringLiteral("lblReadingID"), QStringLiteral("Reading ID:")), row, 0);
    form->addWidget(txtReadingID, row, 1, 1, 3);
    ++row;

    dtpRdate = new QDateEdit(m_page);
    dtpRdate->setObjectName(QStringLiteral("dtpRdate"));
    dtpRdate->setDisplayFormat(ReadingFormats::DateFormat);
    dtpRdate->setCalendarPopup(true);
    dtpRdate->setMinimumWidth(140);
    form->addWidget(caption(m_page, QStringLiteral("lblReadingDate"), QStringLiteral("Reading Date:")), row, 0);
    form->addWidget(dtpRdate, row, 1, 1, 2);
    ++row;

    dtpRtime = new QTimeEdit(m_page);
    dtpRtime->setObjectName(QStringLiteral("dtpRtime"));
    dtpRtime->setDisplayFormat(ReadingFormats::TimeFormat);
    dtpRtime->setMinimumWidth(140);
    form->addWidget(caption(m_page, QStringLiteral("lblReadingTime"), QStringLiteral("Reading Time:")), row, 0);
    form->addWidget(dtpRtime, row, 1, 1, 2);
    ++row;

    auto* rule = new QFrame(m_page);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);
    form->addWidget(rule, row++, 0, 1, 4);

    lblTemperature = caption(m_page, QStringLiteral("Label47"), QStringLiteral("Temperature:"));
    txtChannelT = new QLineEdit(m_page);
    txtChannelT->setObjectName(QStringLiteral("txtChannelT"));
    txtChannelT->setFixedWidth(110);
    lblTemp = caption(m_page, QStringLiteral("lblTemp"), QStringLiteral("deg C"));
    form->addWidget(lblTemperature, row, 0);
    form->addWidget(txtChannelT, row, 1);
    form->addWidget(lblTemp, row, 2);
    ++row;

    auto* gauges = caption(m_page, QStringLiteral("lblGauges"), QStringLiteral("Gauge readings:"));
    form->addWidget(gauges, row++, 0, 1, 2);
    for (int i = 1; i <= 6; ++i) {
        lbln[size_t(i)] = caption(m_page, QStringLiteral("lbln(%1)").arg(i), QStringLiteral("%1#").arg(i));
        lbln[size_t(i)]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        txtChannel[size_t(i)] = new QLineEdit(m_page);
        txtChannel[size_t(i)]->setObjectName(QStringLiteral("txtChannel(%1)").arg(i));
        txtChannel[size_t(i)]->setFixedWidth(110);
        lblmm[size_t(i)] = caption(m_page, QStringLiteral("lblmm(%1)").arg(i), QString::fromUtf8("\u00b5 strain"));
        form->addWidget(lbln[size_t(i)], row, 0);
        form->addWidget(txtChannel[size_t(i)], row, 1);
        form->addWidget(lblmm[size_t(i)], row, 2);
        ++row;
    }
    form->setColumnStretch(3, 1);
    body->addLayout(form, 3);

    // Right: the plot flags and the note of the sensor type.
    auto* side = new QVBoxLayout;
    side->setSpacing(4);
    chkTemporal = new QCheckBox(QStringLiteral("Plot Temporal"), m_page);
    chkTemporal->setObjectName(QStringLiteral("chkTemporal"));
    side->addWidget(chkTemporal);
    side->addWidget(caption(m_page, QStringLiteral("lblTemporalNote"), QStringLiteral("(Load/Disp v Time)")));
    side->addSpacing(12);
    chkSpatial = new QCheckBox(QStringLiteral("Plot Spatial"), m_page);
    chkSpatial->setObjectName(QStringLiteral("chkSpatial"));
    side->addWidget(chkSpatial);
    side->addWidget(caption(m_page, QStringLiteral("lblSpatialNote"), QStringLiteral("(Load/Disp/Shear v Length)")));
    side->addSpacing(24);
    lblNotes = caption(m_page, QStringLiteral("lblNotes"), QString());
    lblNotes->setWordWrap(true);
    lblNotes->setMinimumWidth(280);
    lblNotes->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    side->addWidget(lblNotes);
    side->addStretch();
    body->addLayout(side, 2);

    // The error and warning line.
    lblError = caption(m_page, QStringLiteral("lblError"), QStringLiteral("Error:"));
    lblError->setStyleSheet(QStringLiteral("QLabel { color: #B00000; font-weight: bold; }"));
    lblError->setWordWrap(true);
    lblError->setVisible(false);
    outer->addWidget(lblError);
    lblRejected = caption(m_page, QStringLiteral("lblRejected"), QString());
    lblRejected->setStyleSheet(QStringLiteral("QLabel { color: #707070; }"));
    lblRejected->setWordWrap(true);
    lblRejected->setVisible(false);
    outer->addWidget(lblRejected);
    outer->addStretch();

    // Navigation with the counter between Previous and Next, then the other actions.
    auto* bar = new QHBoxLayout;
    bar->setSpacing(6);
    auto act = [&](const char* image, const char* label, const QString& text, QStyle::StandardPixmap pix,
                   std::function<void()> fn) {
        bar->addWidget(actionColumn(makeAction(m_page, QLatin1String(image), QLatin1String(label), text,
                                               style->standardIcon(pix), std::move(fn))));
    };
    act("imgFirst", "Label61", QStringLiteral("First"), QStyle::SP_MediaSkipBackward,
        [this] { onFirstReadingClicked(); });
    act("imgPrevData", "Label62", QStringLiteral("Previous"), QStyle::SP_MediaSeekBackward,
        [this] { onPreviousReadingClicked(); });
    txtRcount = new QLineEdit(m_page);
    txtRcount->setObjectName(QStringLiteral("txtRcount"));
    txtRcount->setReadOnly(true);
    txtRcount->setAlignment(Qt::AlignCenter);
    txtRcount->setFixedWidth(150);
    txtRcount->setFocusPolicy(Qt::NoFocus);
    bar->addWidget(txtRcount, 0, Qt::AlignVCenter);
    act("imgNextData", "Label60", QStringLiteral("Next"), QStyle::SP_MediaSeekForward,
        [this] { onNextReadingClicked(); });
    act("imgLast", "Label64", QStringLiteral("Last"), QStyle::SP_MediaSkipForward, [this] { onLastReadingClicked(); });
    bar->addSpacing(30);
    act("imgAddReading", "Label63", QStringLiteral("Add New"), QStyle::SP_FileDialogNewFolder,
        [this] { onAddReadingClicked(); });
    act("imgDeleteReading", "Label65", QStringLiteral("Delete/Batch"), QStyle::SP_TrashIcon,
        [this] { onDeleteReadingClicked(); });
    act("imgRejectValue", "lblRejectValue", QStringLiteral("Reject/Restore"), QStyle::SP_DialogNoButton,
        [this] { onRejectValueClicked(); });
    act("imgDatasheet", "Label45", QStringLiteral("Datasheet"), QStyle::SP_FileDialogDetailedView,
        [this] { m_win.openDatasheet(); });
    act("imgAddWrenData", "Label67", QStringLiteral("Import Logger Data"), QStyle::SP_DialogOpenButton,
        [this] { m_win.importLoggerData(); });
    bar->addStretch();
    outer->addLayout(bar);

    lblReadingStatus = caption(m_page, QStringLiteral("lblReadingStatus"), QString());
    lblReadingStatus->setWordWrap(true);
    lblReadingStatus->setVisible(false);
    outer->addWidget(lblReadingStatus);

    // Key filters of the reading boxes.
    for (int i = 1; i <= 6; ++i)
        txtChannel[size_t(i)]->installEventFilter(
            new ReadingKeyFilter(txtChannel[size_t(i)], [this, i](int code) { return txtChannel_KeyPress(i, code); }));
    txtChannelT->installEventFilter(
        new ReadingKeyFilter(txtChannelT, [this](int code) { return txtChannelT_KeyPress(code); }));
    for (int i = 0; i <= 6; ++i) connect(valueBox(i), &QLineEdit::textEdited, this, &ReadingsController::onValueEdited);

    // The pickers: changes by the user are applied once the edit is finished (Enter, the
    // focus leaving, or a day chosen in the calendar), not on every keystroke.
    connect(dtpRdate, &QDateEdit::dateChanged, this, [this] { m_dateEditPending = true; });
    connect(dtpRtime, &QTimeEdit::timeChanged, this, [this] { m_timeEditPending = true; });
    connect(dtpRdate, &QDateEdit::editingFinished, this, &ReadingsController::onDatePicked);
    connect(dtpRtime, &QTimeEdit::editingFinished, this, &ReadingsController::onTimePicked);
    if (QCalendarWidget* cal = dtpRdate->calendarWidget()) {
        connect(cal, &QCalendarWidget::clicked, this, &ReadingsController::onDatePicked, Qt::QueuedConnection);
        connect(cal, &QCalendarWidget::activated, this, &ReadingsController::onDatePicked, Qt::QueuedConnection);
    }
}

int ReadingsController::txtChannel_KeyPress(int index, int keyAscii)
{
    Q_UNUSED(index);
    return ReadingRules::filterReadingKey(keyAscii);
}

int ReadingsController::txtChannelT_KeyPress(int keyAscii) { return ReadingRules::filterReadingKey(keyAscii); }

void ReadingsController::ConfigureForm()
{
    runTrapped(QStringLiteral(" Module1_ConfigureForm"), [&] {
        lblError->setVisible(false);
        m_win.whitenSensorNodeBoxes();
        for (int i = 1; i <= 6; ++i) {
            txtChannel[size_t(i)]->setEnabled(false);
            setBoxColour(txtChannel[size_t(i)], BoxGrey);
            lblmm[size_t(i)]->setEnabled(false);
            lbln[size_t(i)]->setEnabled(false);
            lbln[size_t(i)]->setText(QString());
        }
        Recordset& cfg = *m_s.rsConfig;
        lblNotes->setText(cfg.text(QStringLiteral("lblNotes")));
        // The page has six reading boxes; a type with more channels uses the first six.
        const qint64 channels = std::min<qint64>(cfg.value(QStringLiteral("NumChannels")).toLongLong(), 6);
        m_win.enableSensorCentreBoxes(int(channels));
        for (qint64 i = 1; i <= channels; ++i) {
            lbln[size_t(i)]->setText(QString::number(i) + '#');
            lbln[size_t(i)]->setEnabled(true);
            lblmm[size_t(i)]->setEnabled(true);
            txtChannel[size_t(i)]->setEnabled(true);
            setBoxColour(txtChannel[size_t(i)], BoxWhite);
        }
        lblTemp->setText(cfg.text(QStringLiteral("Temp")));
        const bool temp = ReadingRules::flagTicked(cfg.value(QStringLiteral("TempChannel"))) &&
                          !cfg.isNull(QStringLiteral("TempChannel"));
        txtChannelT->setEnabled(temp);
        setBoxColour(txtChannelT, temp ? BoxWhite : BoxGrey);
        lblTemp->setEnabled(temp);
        lblTemperature->setEnabled(temp);
    });
}
