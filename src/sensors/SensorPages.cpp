// The "1. Identification" and "2. Installation" pages: their controls, names and layout.
#include "sensors/GaugeDrawing.h"
#include "sensors/GaugeLayout.h"
#include "sensors/SensorRegistry.h"
#include "core/ErrorTrap.h"
#include "session/Shared.h"
#include "widgets/ActionButton.h"
#include "widgets/CentredPage.h"
#include "widgets/PageHost.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

constexpr int BoxWidth = 60;
constexpr int BoxHeight = 22;
constexpr int LeftColumnWidth = 520;
constexpr int DrawingLeft = 536;                      // the drawings fill the page from here
constexpr int PageHeight = PageHost::TabHeight - 44;  // below the tab strip
constexpr int PageWidth = PageHost::TabWidth - 4;     // inside the frame
constexpr int IdentificationRodX = 666;               // between the two node columns
constexpr int InstallationRodX = 710;

QLineEdit* lineEdit(QWidget* parent, const QString& name, bool readOnly = false)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setReadOnly(readOnly);
    return e;
}

QLineEdit* positionBox(QWidget* page, const QString& name)
{
    auto* e = lineEdit(page, name, true);
    // As laid out, or taller where the desktop's font needs it (the box's top stays put).
    e->setFixedSize(BoxWidth, std::max(BoxHeight, e->fontMetrics().height() + 6));
    e->setAlignment(Qt::AlignRight);
    e->setFocusPolicy(Qt::ClickFocus);
    return e;
}

QRect pixels(const GaugeLayout::Place& p)
{
    return QRect(p.left / GaugeLayout::TwipsPerPixel, p.top / GaugeLayout::TwipsPerPixel, BoxWidth, BoxHeight);
}

QLabel* heading(QWidget* parent, const QString& text, int x, int y, int w)
{
    auto* l = new QLabel(text, parent);
    QFont f = l->font();
    f.setBold(true);
    l->setFont(f);
    l->setGeometry(x, y, w, std::max(18, QFontMetrics(f).height() + 2));
    return l;
}

GaugeDrawing::BoltScene boltScene(bool stacked, int left, int rodX, const std::vector<GaugeLayout::Place>& nodes,
                                  const std::vector<GaugeLayout::Place>& centres, bool headCaption, int channels)
{
    GaugeDrawing::BoltScene scene;
    scene.headCaption = headCaption;
    if (channels >= 0) {
        scene.nodeCount = GaugeLayout::nodesWithValue(channels, stacked);
        scene.centreCount = GaugeLayout::centresWithValue(channels, stacked);
    }
    scene.size = QSize(PageWidth - left, PageHeight);
    scene.stacked = stacked;
    scene.rodX = rodX - left;
    for (const auto& p : nodes) scene.nodeBoxes.insert(p.index, pixels(p).translated(-left, 0));
    for (const auto& p : centres) scene.centreBoxes.insert(p.index, pixels(p).translated(-left, 0));
    return scene;
}

QPixmap boltPicture(bool stacked, int left, int rodX, const std::vector<GaugeLayout::Place>& nodes,
                    const std::vector<GaugeLayout::Place>& centres)
{
    return GaugeDrawing::bolt(boltScene(stacked, left, rodX, nodes, centres, true, -1));
}

std::vector<GaugeLayout::Place> identificationNodesAll(bool stacked)
{
    auto v = GaugeLayout::identificationNodes(stacked);
    v.insert(v.begin(), GaugeLayout::identificationFirstNode());
    return v;
}

std::vector<GaugeLayout::Place> installationCentresAll(bool stacked)
{
    auto v = GaugeLayout::installationCentres(stacked);
    if (!stacked) {
        const auto& extra = GaugeLayout::installationExtraCentres();
        v.insert(v.end(), extra.begin(), extra.end());
    }
    return v;
}

}  // namespace

QSize SensorRegistry::pageSize() { return QSize(PageWidth, PageHeight); }

QWidget* SensorRegistry::identificationTab()
{
    if (!m_idHolder) m_idHolder = centredPage(m_idPage, pageSize(), QSize(PageHost::TabWidth, PageHost::TabHeight));
    return m_idHolder;
}

QWidget* SensorRegistry::installationTab()
{
    if (!m_installHolder)
        m_installHolder = centredPage(m_installPage, pageSize(), QSize(PageHost::TabWidth, PageHost::TabHeight));
    return m_installHolder;
}

void SensorRegistry::buildIdentificationPage()
{
    m_idPage = new QWidget;
    m_idPage->setObjectName(QStringLiteral("pageIdentification"));

    auto* left = new QWidget(m_idPage);
    left->setGeometry(8, 4, LeftColumnWidth, PageHeight - 8);
    auto* column = new QVBoxLayout(left);
    column->setContentsMargins(4, 4, 4, 4);
    column->setSpacing(8);

    // Choosing and adding sensors.
    auto* select = new QGroupBox(QStringLiteral("Add or Select Sensor"), left);
    auto* sg = new QGridLayout(select);
    cboSensors = new QComboBox(select);
    cboSensors->setObjectName(QStringLiteral("cboSensors"));
    cboSensors->setEditable(true);
    cboSensors->setInsertPolicy(QComboBox::NoInsert);
    cboSensors->setCompleter(nullptr);  // the box completes entries itself (SensorAdd.cpp)
    cboSensors->setMaxVisibleItems(20);
    cboSensors->setToolTip(
        QStringLiteral("Type a new nine-digit sensor number and press Enter to add it, "
                       "or choose a sensor from the list"));
    cboSensors->installEventFilter(this);
    cboSensors->lineEdit()->installEventFilter(this);
    connect(cboSensors, &QComboBox::activated, this, [this](int) { onSensorChosen(); });
    connect(cboSensors->lineEdit(), &QLineEdit::textEdited, this, [this](const QString& t) { completeSensorEntry(t); });
    sg->addWidget(cboSensors, 0, 0, 1, 8);

    struct ActionDef {
        const char* image;
        const char* label;
        const char* caption;
        GaugeDrawing::Action kind;
        void (SensorRegistry::*slot)();
    };
    const ActionDef actions[] = {
        {"imgAddSensor", "Label57", "Add New", GaugeDrawing::Action::AddNew, &SensorRegistry::onAddSensorClicked},
        {"imgPrevious", "Label56", "Previous", GaugeDrawing::Action::Previous,
         &SensorRegistry::onPreviousSensorClicked},
        {"imgNext", "Label59", "Next", GaugeDrawing::Action::Next, &SensorRegistry::onNextSensorClicked},
        {"imgDelete", "Label55", "Delete", GaugeDrawing::Action::Delete, &SensorRegistry::onDeleteSensorClicked},
    };
    int col = 0;
    for (const ActionDef& a : actions) {
        auto slot = a.slot;
        ActionPair pair = makeAction(select, QLatin1String(a.image), QLatin1String(a.label), QLatin1String(a.caption),
                                     GaugeDrawing::actionIcon(a.kind), [this, slot] { (this->*slot)(); });
        sg->addWidget(pair.image, 1, col++);
        sg->addWidget(pair.label, 1, col++);
    }

    auto* who = new QFormLayout;
    txtSensor = lineEdit(select, QStringLiteral("txtSensor"), true);
    QFont big = txtSensor->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() + 1);
    txtSensor->setFont(big);
    txtSnav = lineEdit(select, QStringLiteral("txtSnav"), true);
    txtSCount = lineEdit(select, QStringLiteral("txtSCount"), true);
    auto* counts = new QHBoxLayout;
    counts->addWidget(txtSnav);
    counts->addWidget(new QLabel(QStringLiteral("Sensors in database:"), select));
    counts->addWidget(txtSCount);
    who->addRow(QStringLiteral("Sensor:"), txtSensor);
    who->addRow(QStringLiteral("Record:"), counts);
    sg->addLayout(who, 2, 0, 1, 8);
    column->addWidget(select);

    // The sensor number's parts and the cable.
    auto* ident = new QGroupBox(QStringLiteral("Identification"), left);
    auto* ig = new QGridLayout(ident);
    txtMineID = lineEdit(ident, QStringLiteral("txtMineID"), true);
    txtDateID = lineEdit(ident, QStringLiteral("txtDateID"));
    txtTypeID = lineEdit(ident, QStringLiteral("txtTypeID"));
    txtSensorNo = lineEdit(ident, QStringLiteral("txtSensorNo"));
    txtFamily = lineEdit(ident, QStringLiteral("txtFamily"));
    txtLengthofCable = lineEdit(ident, QStringLiteral("txtLengthofCable"));
    ig->addWidget(new QLabel(QStringLiteral("Mine ID:"), ident), 0, 0);
    ig->addWidget(txtMineID, 0, 1);
    ig->addWidget(new QLabel(QStringLiteral("Date ID:"), ident), 0, 2);
    ig->addWidget(txtDateID, 0, 3);
    ig->addWidget(new QLabel(QStringLiteral("Type ID:"), ident), 1, 0);
    ig->addWidget(txtTypeID, 1, 1);
    ig->addWidget(new QLabel(QStringLiteral("Sensor No:"), ident), 1, 2);
    ig->addWidget(txtSensorNo, 1, 3);
    ig->addWidget(new QLabel(QStringLiteral("Family:"), ident), 2, 0);
    ig->addWidget(txtFamily, 2, 1);
    ig->addWidget(new QLabel(QStringLiteral("Length of cable (m):"), ident), 2, 2);
    ig->addWidget(txtLengthofCable, 2, 3);
    column->addWidget(ident);

    // The gauges.
    auto* gauges = new QGroupBox(QStringLiteral("Gauges"), left);
    auto* gf = new QFormLayout(gauges);
    optStacked = new QRadioButton(QStringLiteral("Stacked"), gauges);
    optStacked->setObjectName(QStringLiteral("optStacked"));
    optStaggered = new QRadioButton(QStringLiteral("Staggered"), gauges);
    optStaggered->setObjectName(QStringLiteral("optStaggered"));
    optStacked->setChecked(true);
    m_layoutGroup = new QButtonGroup(this);
    m_layoutGroup->addButton(optStacked);
    m_layoutGroup->addButton(optStaggered);
    connect(optStacked, &QRadioButton::clicked, this, [this] { onLayoutClicked(); });
    connect(optStaggered, &QRadioButton::clicked, this, [this] { onLayoutClicked(); });
    auto* layoutRow = new QHBoxLayout;
    layoutRow->addWidget(optStacked);
    layoutRow->addWidget(optStaggered);
    layoutRow->addStretch();
    txtBoltkfactor = lineEdit(gauges, QStringLiteral("txtBoltkfactor"));
    txtLengthofGauge = lineEdit(gauges, QStringLiteral("txtLengthofGauge"));
    txtNumGauges = lineEdit(gauges, QStringLiteral("txtNumGauges"));
    gf->addRow(QStringLiteral("Gauge layout:"), layoutRow);
    gf->addRow(QStringLiteral("Bolt k factor (ustrain/ton)"), txtBoltkfactor);
    gf->addRow(QStringLiteral("Length of gauge (m):"), txtLengthofGauge);
    gf->addRow(QStringLiteral("Number of gauges:"), txtNumGauges);
    column->addWidget(gauges);

    // In service or destroyed.
    auto* status = new QGroupBox(QStringLiteral("Status"), left);
    auto* st = new QGridLayout(status);
    cboDestroyed = new QComboBox(status);
    cboDestroyed->setObjectName(QStringLiteral("cboDestroyed"));
    cboDestroyed->addItems({QStringLiteral("No"), QStringLiteral("Yes")});
    cboDestroyed->installEventFilter(this);
    connect(cboDestroyed, &QComboBox::activated, this, [this](int) { onDestroyedChosen(); });
    txtDestructionDate = lineEdit(status, QStringLiteral("txtDestructionDate"));
    imgalive = new QLabel(status);
    imgalive->setObjectName(QStringLiteral("imgalive"));
    imgalive->setPixmap(GaugeDrawing::heart(true));
    imgalive->hide();
    imgdead = new QLabel(status);
    imgdead->setObjectName(QStringLiteral("imgdead"));
    imgdead->setPixmap(GaugeDrawing::heart(false));
    imgdead->hide();
    imgheart = new QLabel(status);
    imgheart->setObjectName(QStringLiteral("imgheart"));
    imgheart->setFixedSize(52, 52);
    imgheart->setAlignment(Qt::AlignCenter);
    st->addWidget(new QLabel(QStringLiteral("Destroyed:"), status), 0, 0);
    st->addWidget(cboDestroyed, 0, 1);
    st->addWidget(new QLabel(QStringLiteral("Destruction date:"), status), 1, 0);
    st->addWidget(txtDestructionDate, 1, 1);
    st->addWidget(imgheart, 0, 2, 2, 1);
    st->setColumnStretch(1, 1);
    // The alarm status line: a coloured mark and the status in words.
    lblAlarmStatus = new QLabel(status);
    lblAlarmStatus->setObjectName(QStringLiteral("lblAlarmStatus"));
    lblAlarmStatus->setWordWrap(true);
    lblAlarmStatus->setTextFormat(Qt::RichText);
    st->addWidget(lblAlarmStatus, 2, 0, 1, 3);
    column->addWidget(status);
    column->addStretch();
    showHeart(false);

    buildGaugePanel();
}

void SensorRegistry::buildGaugePanel()
{
    QWidget* page = m_idPage;
    imgStack = new QLabel(page);
    imgStack->setObjectName(QStringLiteral("imgStack"));
    imgStack->setPixmap(boltPicture(true, DrawingLeft, IdentificationRodX, identificationNodesAll(true),
                                    GaugeLayout::identificationCentres(true)));
    imgStack->hide();
    imgStag = new QLabel(page);
    imgStag->setObjectName(QStringLiteral("imgStag"));
    imgStag->setPixmap(boltPicture(false, DrawingLeft, IdentificationRodX, identificationNodesAll(false),
                                   GaugeLayout::identificationCentres(false)));
    imgStag->hide();

    m_imgHead1 = new QLabel(page);
    m_imgHead1->setObjectName(QStringLiteral("imgHead(1)"));
    m_imgHead1->setGeometry(DrawingLeft, 0, PageWidth - DrawingLeft, PageHeight);
    m_imgHead1->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    txtSensor3 = lineEdit(page, QStringLiteral("txtSensor3"), true);
    txtSensor3->setGeometry(DrawingLeft + 20, 16, 200, 24);
    QFont big = txtSensor3->font();
    big.setBold(true);
    txtSensor3->setFont(big);
    heading(page, QStringLiteral("Gauge layout"), DrawingLeft + 20, 56, 200);
    heading(page, QStringLiteral("Node positions (m)"), 540, 138, 160);
    heading(page, QStringLiteral("Gauge centres (m)"), 790, 138, 170);

    for (int i = 1; i <= GaugeLayout::NodeBoxes; ++i)
        m_txtNode[i] = positionBox(page, QStringLiteral("txtNode(%1)").arg(i));
    for (int i = 1; i <= GaugeLayout::CentreBoxes; ++i)
        m_txtSGCenter[i] = positionBox(page, QStringLiteral("txtSGCenter(%1)").arg(i));
    // The first node is the position the user types.
    QLineEdit* first = m_txtNode[1];
    first->setReadOnly(false);
    first->setFocusPolicy(Qt::StrongFocus);
    first->setToolTip(QStringLiteral("Position of the first node along the bolt (m)"));
    first->setGeometry(pixels(GaugeLayout::identificationFirstNode()));
    first->installEventFilter(this);
    // Until a sensor is shown the boxes stand in their staggered places.
    for (const auto& p : GaugeLayout::identificationNodes(false)) m_txtNode[size_t(p.index)]->setGeometry(pixels(p));
    for (const auto& p : GaugeLayout::identificationCentres(false))
        m_txtSGCenter[size_t(p.index)]->setGeometry(pixels(p));
    m_imgHead1->lower();
    refreshDrawings();
}

void SensorRegistry::buildInstallationPage()
{
    m_installPage = new QWidget;
    m_installPage->setObjectName(QStringLiteral("pageInstallation"));
    QWidget* page = m_installPage;

    auto* left = new QWidget(page);
    left->setGeometry(8, 4, LeftColumnWidth, PageHeight - 8);
    auto* column = new QVBoxLayout(left);
    column->setContentsMargins(4, 4, 4, 4);
    auto* box = new QGroupBox(QStringLiteral("Installation"), left);
    auto* form = new QFormLayout(box);
    form->setVerticalSpacing(10);
    txtSensor2 = lineEdit(box, QStringLiteral("txtSensor2"), true);
    QFont big = txtSensor2->font();
    big.setBold(true);
    txtSensor2->setFont(big);
    txtLevel = lineEdit(box, QStringLiteral("txtLevel"));
    txtLocation = lineEdit(box, QStringLiteral("txtLocation"));
    txtBorehole = lineEdit(box, QStringLiteral("txtBorehole"));
    txtInstallDate = lineEdit(box, QStringLiteral("txtInstallDate"));
    txtInstallDate->setPlaceholderText(QStringLiteral("yyyy/mm/dd"));
    txtInstallBy = lineEdit(box, QStringLiteral("txtInstallBy"));
    txtPurpose = lineEdit(box, QStringLiteral("txtPurpose"));
    txtNotes = lineEdit(box, QStringLiteral("txtNotes"));
    form->addRow(QStringLiteral("Sensor:"), txtSensor2);
    form->addRow(QStringLiteral("Level:"), txtLevel);
    form->addRow(QStringLiteral("Location:"), txtLocation);
    form->addRow(QStringLiteral("Borehole:"), txtBorehole);
    form->addRow(QStringLiteral("Date installed:"), txtInstallDate);
    form->addRow(QStringLiteral("Installed by:"), txtInstallBy);
    form->addRow(QStringLiteral("Purpose:"), txtPurpose);
    form->addRow(QStringLiteral("Notes:"), txtNotes);
    column->addWidget(box);
    buildAlarmControls();
    column->addWidget(lblAlarmLevels->parentWidget());
    column->addStretch();

    buildInstallationGaugePanel();
}

void SensorRegistry::buildInstallationGaugePanel()
{
    QWidget* page = m_installPage;

    m_imgHead0 = new QLabel(page);
    m_imgHead0->setObjectName(QStringLiteral("imgHead(0)"));
    m_imgHead0->setGeometry(DrawingLeft, 0, PageWidth - DrawingLeft, PageHeight);
    m_imgHead0->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    heading(page, QStringLiteral("Gauge positions"), DrawingLeft + 20, 56, 200);
    heading(page, QStringLiteral("Nodes (m)"), 560, 138, 120);
    heading(page, QStringLiteral("Gauge centres (m)"), 830, 138, 160);
    lbloption = new QLabel(page);
    lbloption->setObjectName(QStringLiteral("lbloption"));
    lbloption->setGeometry(InstallationRodX - 110, PageHeight - 26, 220, 18);
    lbloption->setAlignment(Qt::AlignCenter);

    for (int i = 1; i <= GaugeLayout::NodeBoxes; ++i)
        m_txtRelSGanchor[size_t(i)] = positionBox(page, QStringLiteral("txtRelSGanchor(%1)").arg(i));
    for (int i = 1; i <= GaugeLayout::CentreBoxes; ++i)
        m_txtRelSGCenter[size_t(i)] = positionBox(page, QStringLiteral("txtRelSGCenter(%1)").arg(i));
    for (const auto& p : GaugeLayout::installationExtraCentres())
        m_txtRelSGCenter[size_t(p.index)]->setGeometry(pixels(p));
    placeInstallationBoxes(true);
    m_imgHead0->lower();
}

int SensorRegistry::channelCount() const
{
    int n = -1;
    ignoringErrors([&] {
        if (m_s.rsConfig && m_s.rsConfig->isOpen() && m_s.rsConfig->hasCurrentRow()) {
            const QVariant v = m_s.rsConfig->value(QStringLiteral("NumChannels"));
            if (!v.isNull()) n = v.toInt();
        }
    });
    return n < 0 ? GaugeLayout::CentreBoxes : std::clamp(n, 0, GaugeLayout::CentreBoxes);
}

const SensorRegistry::Drawing& SensorRegistry::drawing(bool identification, bool stacked, int channels)
{
    const QString key = QStringLiteral("%1-%2-%3").arg(identification).arg(stacked).arg(channels);
    auto it = m_drawings.find(key);
    if (it != m_drawings.end()) return *it;
    // The caption under the head of the Installation drawing is the label lbloption.
    const GaugeDrawing::BoltScene scene =
        identification ? boltScene(stacked, DrawingLeft, IdentificationRodX, identificationNodesAll(stacked),
                                   GaugeLayout::identificationCentres(stacked), true, channels)
                       : boltScene(stacked, DrawingLeft, InstallationRodX, GaugeLayout::installationNodes(stacked),
                                   installationCentresAll(stacked), false, channels);
    const GaugeDrawing::BoltPlan plan = GaugeDrawing::planOf(scene);
    return *m_drawings.insert(key, {GaugeDrawing::bolt(scene), int(plan.nodes.size()), int(plan.gauges.size())});
}

void SensorRegistry::showDrawing(QLabel* label, const Drawing& d, bool stacked)
{
    label->setPixmap(d.picture);
    // What the picture shows, for a reader of the page's properties (and the tests).
    label->setProperty("layout", stacked ? QStringLiteral("stacked") : QStringLiteral("staggered"));
    label->setProperty("nodes", d.nodes);
    label->setProperty("gauges", d.gauges);
}

void SensorRegistry::placeInstallationBoxes(bool stacked)
{
    const int n = channelCount();
    showDrawing(m_imgHead0, drawing(false, stacked, n), stacked);
    for (const auto& p : GaugeLayout::installationNodes(stacked))
        m_txtRelSGanchor[size_t(p.index)]->setGeometry(pixels(p));
    for (const auto& p : GaugeLayout::installationCentres(stacked))
        m_txtRelSGCenter[size_t(p.index)]->setGeometry(pixels(p));
    // Only the boxes of the sensor's nodes and centres stand beside the drawing; the others
    // keep their places, empty and hidden.
    const int nodes = GaugeLayout::nodesWithValue(n, stacked);
    const int centres = GaugeLayout::centresWithValue(n, stacked);
    for (int i = 1; i <= GaugeLayout::NodeBoxes; ++i) m_txtRelSGanchor[size_t(i)]->setVisible(i <= nodes);
    for (int i = 1; i <= GaugeLayout::CentreBoxes; ++i) m_txtRelSGCenter[size_t(i)]->setVisible(i <= centres);
}

void SensorRegistry::refreshDrawings()
{
    const bool stacked = isStacked();
    const int n = channelCount();
    showDrawing(m_imgHead1, drawing(true, stacked, n), stacked);
}

void SensorRegistry::showHeart(bool dead)
{
    imgheart->setPixmap(dead ? imgdead->pixmap() : imgalive->pixmap());
    imgheart->setProperty("state", dead ? QStringLiteral("dead") : QStringLiteral("alive"));
    imgheart->setToolTip(dead ? QStringLiteral("Destroyed") : QStringLiteral("In service"));
}
