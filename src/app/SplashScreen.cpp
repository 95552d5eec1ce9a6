#include "app/SplashScreen.h"
#include "core/AppInfo.h"
#include "widgets/AppIcon.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

SplashScreen::SplashScreen(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmSplash"));
    setWindowTitle(QStringLiteral("About Orrisford's Tarnwell"));
    setModal(true);

    auto* picture = new QLabel;
    picture->setObjectName(QStringLiteral("imgLogo"));
    picture->setPixmap(appIcon().pixmap(64, 64));

    auto* product = new QLabel(QStringLiteral("Orrisford's Tarnwell HALYX"));
    product->setObjectName(QStringLiteral("lblProductName"));
    QFont big = product->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    product->setFont(big);

    lblVersion = new QLabel;
    lblVersion->setObjectName(QStringLiteral("lblVersion"));

    auto* purpose =
        new QLabel(QStringLiteral("Instrumented rock bolt monitoring: sensor records, readings, "
                                  "load, displacement and shear along the bolt."));
    purpose->setWordWrap(true);
    auto* contact =
        new QLabel(QStringLiteral("Orrisford Instruments\nTechnical support: " TARNWELL_MAINTAINER_EMAIL "\n"
                                  "https://www.orrisford.com/"));
    contact->setObjectName(QStringLiteral("lblContact"));
    contact->setTextInteractionFlags(Qt::TextSelectableByMouse);

    cmdOk = new QPushButton(QStringLiteral("OK"));
    cmdOk->setObjectName(QStringLiteral("Command1"));
    cmdOk->setDefault(true);
    connect(cmdOk, &QPushButton::clicked, this, &QDialog::accept);

    auto* text = new QVBoxLayout;
    text->addWidget(product);
    text->addWidget(lblVersion);
    text->addSpacing(8);
    text->addWidget(purpose);
    text->addSpacing(8);
    text->addWidget(contact);
    auto* top = new QHBoxLayout;
    top->addWidget(picture, 0, Qt::AlignTop);
    top->addSpacing(12);
    top->addLayout(text, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOk);
    auto* v = new QVBoxLayout(this);
    v->addLayout(top);
    v->addLayout(buttons);
    setMinimumWidth(420);

    showVersion();
}

QString SplashScreen::versionCaption()
{
    return QStringLiteral("Version ") + QString::number(AppInfo::VersionMajor) + '.' +
           QString::number(AppInfo::VersionMinor) + '.' + QString::number(AppInfo::VersionRevision);
}

void SplashScreen::showVersion() { lblVersion->setText(versionCaption()); }
