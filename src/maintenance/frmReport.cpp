#include "maintenance/frmReport.h"
#include "session/Shared.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

frmReport::frmReport(ReportOptions& options, QWidget* parent) : QDialog(parent), m_options(options)
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
    Label1 = new QLabel(QStringLiteral("Select the contents to include in the report:"));
    Label1->setObjectName(QStringLiteral("Label1"));
    chkCover = box(QStringLiteral("chkCover"), QStringLiteral("Sensor Information Cover Page"));
    Frame1 = new QGroupBox(QStringLiteral("Plots:"));
    Frame1->setObjectName(QStringLiteral("Frame1"));
    chkTemp = box(QStringLiteral("chkTemp"), QStringLiteral("Load v Time"));
    chkRate = box(QStringLiteral("chkRate"), QStringLiteral("Disp v Time"));
    chkSpatial = box(QStringLiteral("chkSpatial"), QStringLiteral("Load v Length"));
    chkDvL = box(QStringLiteral("chkDvL"), QStringLiteral("Disp v Length"));
    chkSvL = box(QStringLiteral("chkSvL"), QStringLiteral("Shear v Length"));
    chkSvL->setChecked(false);
    auto* plots = new QVBoxLayout(Frame1);
    for (QCheckBox* c : {chkTemp, chkRate, chkSpatial, chkDvL, chkSvL}) plots->addWidget(c);
    // The PDF is the copy to hand on: it has page numbers and opens anywhere.
    chkPdf = box(QStringLiteral("chkPdf"), QStringLiteral("Also save the report as a PDF file (with page numbers)"));

    cmdOK = new QPushButton(QStringLiteral("OK"));
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"));
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    connect(cmdOK, &QPushButton::clicked, this, &frmReport::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmReport::cmdCancel_Click);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    auto* v = new QVBoxLayout(this);
    v->addWidget(lblSensor);
    v->addWidget(Label1);
    v->addWidget(chkCover);
    v->addWidget(Frame1);
    v->addWidget(chkPdf);
    v->addLayout(buttons);
}

void frmReport::cmdOK_Click()
{
    m_options.chosen = true;
    m_options.cover = chkCover->isChecked();
    m_options.loadVTime = chkTemp->isChecked();
    m_options.dispVTime = chkRate->isChecked();
    m_options.loadVLength = chkSpatial->isChecked();
    m_options.dispVLength = chkDvL->isChecked();
    m_options.shearVLength = chkSvL->isChecked();
    m_options.pdf = chkPdf->isChecked();
    hide();
    done(Accepted);
}

void frmReport::setSensor(const QString& id)
{
    lblSensor->setText(id.isEmpty() ? QStringLiteral("No sensor is chosen.") : QStringLiteral("Report on sensor ") + id);
}

void frmReport::cmdCancel_Click()
{
    m_options.chosen = false;
    hide();
    done(Rejected);
}

// Escape and the window's close box cancel, as the Cancel button does.
void frmReport::reject()
{
    m_options.chosen = false;
    QDialog::reject();
}
