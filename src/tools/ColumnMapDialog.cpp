#include "tools/ColumnMapDialog.h"
#include "core/Messages.h"
#include "tools/GridWidgets.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

constexpr int PreviewRows = 10;
const QString None = QStringLiteral("(none)");

QComboBox* columnBox(QWidget* parent, const QString& name, const QStringList& names, bool withNone,
                     const QString& current)
{
    auto* box = new QComboBox(parent);
    box->setObjectName(name);
    if (withNone) box->addItem(None, QString());
    for (const QString& n : names) box->addItem(n, n);
    const int at = box->findData(current);
    box->setCurrentIndex(at >= 0 ? at : 0);
    return box;
}

}  // namespace

ColumnMapDialog::ColumnMapDialog(const QString& sensorId, const LoggerReadings::Target& target,
                                 const LoggerFormats::Opened& file, const ColumnMap& start, QWidget* parent)
    : QDialog(parent),
      m_file(file),
      m_target(target)
{
    setObjectName(QStringLiteral("frmColumnMap"));
    setWindowTitle(QStringLiteral("Logger file columns"));
    setModal(true);

    lblHeader = GridWidgets::makeHeaderLabel(this);
    lblHeader->setText(QStringLiteral("Which columns of this file feed sensor ") + sensorId + QStringLiteral("?"));
    auto* about = new QLabel(file.description + QStringLiteral(" - the first rows:"), this);

    grdPreview = new QTableWidget(this);
    grdPreview->setObjectName(QStringLiteral("grdPreview"));
    grdPreview->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdPreview->setColumnCount(int(file.names.size()));
    QStringList headers;
    for (int c = 0; c < file.names.size(); ++c)
        headers << (c < file.units.size() && !file.units[c].isEmpty() ? file.names[c] + u'\n' + file.units[c]
                                                                      : file.names[c]);
    grdPreview->setHorizontalHeaderLabels(headers);
    const QList<QStringList> rows = file.firstRows(PreviewRows);
    grdPreview->setRowCount(int(rows.size()));
    for (int r = 0; r < rows.size(); ++r)
        for (int c = 0; c < rows[r].size() && c < file.names.size(); ++c)
            grdPreview->setItem(r, c, new QTableWidgetItem(rows[r][c]));
    grdPreview->resizeColumnsToContents();
    grdPreview->setMinimumHeight(220);

    auto* form = new QFormLayout;
    cboDateColumn = columnBox(this, QStringLiteral("cboDateColumn"), file.names, false, start.dateColumn);
    form->addRow(QStringLiteral("Date and time column:"), cboDateColumn);
    cboDateLayout = new QComboBox(this);
    cboDateLayout->setObjectName(QStringLiteral("cboDateLayout"));
    for (int l = 0; l < LoggerClock::LayoutCount; ++l)
        cboDateLayout->addItem(LoggerClock::caption(LoggerClock::Layout(l)), l);
    cboDateLayout->setCurrentIndex(int(start.layout));
    form->addRow(QStringLiteral("Date layout:"), cboDateLayout);
    if (target.tempChannel) {
        cboTempColumn = columnBox(this, QStringLiteral("cboTempColumn"), file.names, true, start.tempColumn);
        form->addRow(QStringLiteral("Temperature (ChannelT):"), cboTempColumn);
    }
    for (int k = 1; k <= std::clamp(target.gauges, 0, 10); ++k) {
        auto* box =
            columnBox(this, QStringLiteral("cboGauge(%1)").arg(k), file.names, true, start.gaugeColumns.value(k - 1));
        cboGauge.push_back(box);
        form->addRow(QStringLiteral("Gauge %1 (Channel%1):").arg(k), box);
    }
    txtClockOffset = new QDoubleSpinBox(this);
    txtClockOffset->setObjectName(QStringLiteral("txtClockOffset"));
    txtClockOffset->setRange(-24, 24);
    txtClockOffset->setDecimals(2);
    txtClockOffset->setSingleStep(0.5);
    txtClockOffset->setSuffix(QStringLiteral(" h"));
    txtClockOffset->setValue(start.clockOffsetHours);
    txtClockOffset->setToolTip(QStringLiteral("Hours added to the logger's clock to give the site's time"));
    form->addRow(QStringLiteral("Clock offset (logger to site):"), txtClockOffset);
    txtMissingCodes = new QLineEdit(this);
    txtMissingCodes->setObjectName(QStringLiteral("txtMissingCodes"));
    txtMissingCodes->setText(start.missingCodes.join(QStringLiteral(", ")));
    txtMissingCodes->setPlaceholderText(QStringLiteral("for example -99999, OVR"));
    txtMissingCodes->setToolTip(
        QStringLiteral("What the logger writes when it has no reading, besides NAN, INF and an "
                       "empty field; such a value is stored as no value"));
    form->addRow(QStringLiteral("Codes for no reading:"), txtMissingCodes);

    auto* buttons = new QDialogButtonBox(this);
    cmdOK = buttons->addButton(QDialogButtonBox::Ok);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdCancel = buttons->addButton(QDialogButtonBox::Cancel);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    connect(cmdOK, &QPushButton::clicked, this, &ColumnMapDialog::onOkClicked);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblHeader);
    layout->addWidget(about);
    layout->addWidget(grdPreview, 1);
    layout->addLayout(form);
    layout->addWidget(buttons);
    resize(900, 640);
    cboDateColumn->setFocus();
}

ColumnMap ColumnMapDialog::map() const
{
    ColumnMap m;
    m.dateColumn = cboDateColumn->currentData().toString();
    m.layout = LoggerClock::Layout(cboDateLayout->currentData().toInt());
    if (cboTempColumn) m.tempColumn = cboTempColumn->currentData().toString();
    for (QComboBox* g : cboGauge) m.gaugeColumns << g->currentData().toString();
    m.clockOffsetHours = txtClockOffset->value();
    m.missingCodes = ColumnMaps::parseMissingCodes(txtMissingCodes->text());
    return m;
}

void ColumnMapDialog::onOkClicked()
{
    const ColumnMap m = map();
    LoggerReadings::Mapping mapping;
    const QString problem = ColumnMaps::mapping(m, m_file.names, mapping);
    if (!problem.isEmpty()) {
        Messages::show(QStringLiteral("This map cannot be used: ") + problem + u'.', QString(),
                       Messages::Icon::Exclamation);
        return;
    }
    bool anyChannel = !m.tempColumn.isEmpty();
    for (const QString& g : m.gaugeColumns) anyChannel = anyChannel || !g.isEmpty();
    if (!anyChannel) {
        Messages::show(QStringLiteral("Choose a column for the temperature or for at least one gauge."), QString(),
                       Messages::Icon::Exclamation);
        return;
    }
    // The first rows' dates must read in the chosen layout.
    QByteArray scratch;
    for (qsizetype r = 0; r < m_file.table.rowCount() && r < PreviewRows; ++r) {
        if (m_file.table.fieldCount(r) != mapping.expectedFields) continue;
        const QByteArrayView date = m_file.table.fieldBytes(r, mapping.dateField, scratch);
        if (!LoggerClock::read(date, m.layout)) {
            Messages::show(QStringLiteral("The date \"") + m_file.table.decode(date) + QStringLiteral("\" in column ") +
                               m.dateColumn + QStringLiteral(" cannot be read as ") + LoggerClock::caption(m.layout) +
                               QStringLiteral(".\r\nChoose the column that holds the date and time, and its layout."),
                           QString(), Messages::Icon::Exclamation);
            return;
        }
    }
    accept();
}
