// The gauge layout on the pages: placing the node and centre boxes for the layout shown,
// entering the two sensor tabs, the layout options and the first node box's key rule.
#include "sensors/GaugeLayout.h"
#include "sensors/SensorRegistry.h"
#include "session/Shared.h"
#include "widgets/PageHost.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabWidget>

namespace {
QPoint pixels(const GaugeLayout::Place& p)
{
    return QPoint(p.left / GaugeLayout::TwipsPerPixel, p.top / GaugeLayout::TwipsPerPixel);
}
}  // namespace

void SensorRegistry::SetNodeBoxes()
{
    // 1. Another tab is shown: the computed boxes go out of sight.
    if (m_win.currentTab() != PageHost::TabIdentification) {
        const int away = GaugeLayout::OutOfSight / GaugeLayout::TwipsPerPixel;
        for (int i = 2; i <= GaugeLayout::NodeBoxes; ++i) m_txtNode[size_t(i)]->move(away, m_txtNode[size_t(i)]->y());
        for (int i = 1; i <= GaugeLayout::CentreBoxes; ++i)
            m_txtSGCenter[size_t(i)]->move(away, m_txtSGCenter[size_t(i)]->y());
        return;
    }
    // 2-3. The places of the layout shown.
    const bool stacked = isStacked();
    for (const auto& p : GaugeLayout::identificationNodes(stacked)) m_txtNode[size_t(p.index)]->move(pixels(p));
    for (const auto& p : GaugeLayout::identificationCentres(stacked)) m_txtSGCenter[size_t(p.index)]->move(pixels(p));
    // Only the boxes of the sensor's nodes and centres stand beside the drawing; the others
    // (and those the stacked layout does not name) keep their places, empty and hidden.
    const int n = channelCount();
    const int nodes = GaugeLayout::nodesWithValue(n, stacked);
    const int centres = GaugeLayout::centresWithValue(n, stacked);
    for (int i = 2; i <= GaugeLayout::NodeBoxes; ++i) m_txtNode[size_t(i)]->setVisible(i <= nodes);
    for (int i = 1; i <= GaugeLayout::CentreBoxes; ++i) m_txtSGCenter[size_t(i)]->setVisible(i <= centres);
}

void SensorRegistry::enterIdentificationTab()
{
    SetNodeBoxes();
    cboSensors->setFocus();
    m_s.savedReadingBookmark = 0;
}

void SensorRegistry::enterInstallationTab()
{
    lbloption->setText(QStringLiteral("Head at Borehole Collar"));
    placeInstallationBoxes(isStacked());
    txtLevel->setFocus();
}

void SensorRegistry::onLayoutClicked()
{
    if (savefields(SaveThen::Refill)) fillfields();
}

bool SensorRegistry::txtNodeKeyPress(int index, int key, const QString& text)
{
    if (index != 1) return false;
    // Keys that type no character (arrows, Home, Delete) are not filtered.
    if (text.isEmpty() || key == Qt::Key_Delete) return false;
    const ushort c = text.at(0).unicode();
    switch (c) {
        case 8:  // Backspace
        case 217:
            return false;
        case 9:  // Tab and Enter store the complete entry
        case 13:
            savefields();
            return false;
        default:
            break;
    }
    if ((c >= '0' && c <= '9') || c == '.' || c == ',') {
        // The save runs before the character reaches the box.
        m_quietSave = true;
        savefields();
        m_quietSave = false;
        return false;
    }
    return true;  // any other character is dropped
}
