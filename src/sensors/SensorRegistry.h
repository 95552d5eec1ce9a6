#pragma once
#include <QObject>
#include <QHash>
#include <QPixmap>
#include <QSet>
#include <QSize>
#include <QString>
#include <array>

struct SensorDetails;
struct TwError;
class PageHost;
struct Shared;
class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QToolButton;
class QWidget;

// The sensor registry: the "1. Identification" and "2. Installation" pages, the sensor
// record (fillfields / savefields / CalcNCs), adding, selecting, navigating and deleting
// sensors, and the gauge layout.
//
// The procedures live in files by subject: SensorPages.cpp (the pages and their layout),
// SensorRecord.cpp (fillfields, savefields, CalcNCs), SensorAdd.cpp (adding, the sensor
// box's keys), SensorNavigation.cpp (choosing, next, previous, delete, destroyed flag)
// and GaugeBoxes.cpp (placing the position boxes, the first node's key rule, the layout
// options).
class SensorRegistry : public QObject {
    Q_OBJECT
public:
    explicit SensorRegistry(PageHost& win);

    QWidget* identificationPage() const { return m_idPage; }
    QWidget* installationPage() const { return m_installPage; }
    // What goes on the two tabs: each page at its fixed size, centred in a larger tab and
    // scrolled in a smaller one.
    QWidget* identificationTab();
    QWidget* installationTab();
    // The fixed size of the two pages (the room their tab has at the window's default size).
    static QSize pageSize();

    // Controls other parts of the program read or set.
    QComboBox* cboSensors = nullptr;
    QLineEdit* txtSCount = nullptr;
    QLineEdit* txtSensor = nullptr;
    QLineEdit* txtMineID = nullptr;

    // The position boxes by index (1-based): node boxes 1..8 and centre boxes 1..6 of the
    // Identification page, and their two-decimal copies on the Installation page (the
    // charts read the latter).
    QLineEdit* txtNode(int i) const { return m_txtNode.at(size_t(i)); }
    QLineEdit* txtSGCenter(int i) const { return m_txtSGCenter.at(size_t(i)); }
    QLineEdit* txtRelSGanchor(int i) const { return m_txtRelSGanchor.at(size_t(i)); }
    QLineEdit* txtRelSGCenter(int i) const { return m_txtRelSGCenter.at(size_t(i)); }
    // The cable length box's text (the displacement charts read it).
    QString lengthOfCableText() const;
    // The gauge length box's text.
    QString lengthOfGaugeText() const;

    void fillfields();
    // What the caller does after savefields; it decides what the user is told when a
    // value is refused or the database cannot be written.
    enum class SaveThen {
        Stay,      // stays on the record (saves while typing, the destroyed flag)
        MoveAway,  // shows another sensor or adds one: a refused value stops it
        Refill,    // shows the same sensor again from the database (the tab change)
        Close,     // the program closes
    };
    // Writes the boxes back to the current sensor's row. False when the caller must stop
    // and leave the boxes as typed: a value was refused (MoveAway), or the save failed
    // and the user keeps the typed values on screen.
    bool savefields(SaveThen then = SaveThen::Stay);
    void CalcNCs();
    void SetNodeBoxes();
    // Empties cboSensors and lists every row of the Sensors recordset in order.
    void rebuildSensorList();
    // The list made again (a filter changed): its first sensor shown, or an empty sensor
    // box when there is none, and the count.
    void refreshSensorList();
    // The list after the connection was opened again (backup, restore): as at start-up, the
    // first sensor shown; with none the list is emptied and the user told how to begin.
    void showSensorsAfterReopen();
    // Entering the "2. Installation" tab: its caption, drawing and position boxes.
    void enterInstallationTab();
    // Entering the "1. Identification" tab: node boxes placed, focus on cboSensors.
    void enterIdentificationTab();
    // The layout option shown (stacked when true).
    bool isStacked() const;
    // The k factor box's text as typed (the load calculation reads it).
    QString boltKFactorText() const;
    // The sensor as the pages show it, unsaved edits included (PageHost::shownSensor).
    SensorDetails shownSensor() const;
    // What the Readings page asks when it sets up for a type: node boxes white again, the
    // first `channels` gauge-centre boxes enabled.
    void whitenNodeBoxes();
    void enableCentreBoxes(int channels);

    // Adding a sensor: the Add New action (prompt) and the procedure it and Enter in
    // cboSensors run on the typed sensor number.
    void onAddSensorClicked();
    void AddTypedSensor();

    // Choosing, stepping through and deleting sensors; the destroyed flag.
    void onSensorChosen();
    void onNextSensorClicked();
    void onPreviousSensorClicked();
    void onDeleteSensorClicked();
    void onDestroyedChosen();

    // The layout options (mouse-up on either).
    void onLayoutClicked();

    // The alarm status of every sensor in the list (a coloured mark and its word), the
    // status line of the Identification page and the levels shown on the Installation
    // page, read from the stored alarm state (SensorStatus.cpp).
    void refreshStatusMarks();
    void showAlarmStatus();
    // What the alarms do in the background ("Sending alarm notifications…"), shown under
    // the status line while it lasts; empty: nothing.
    void showAlarmActivity(const QString& text);
    // Shows a sensor of the list (after saving the one shown); false, with a message, when
    // it is not in the list (deleted, or hidden by the filter).
    bool selectSensor(const QString& id);

    // Working beside other users (SensorSharing.cpp). Reads the sensor list again when
    // another connection committed a change since it was read (always with force), keeping
    // the sensor shown. False when that sensor is gone (deleted by someone else): the user
    // was told and the first sensor is shown.
    bool rereadSensorsIfChanged(bool force);
    // F5: saves the sensor shown, reads the list again and shows the sensor's stored values.
    void refreshSensors();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QString m_alarmActivity;
    // A bolt drawing made for a page, a layout and a channel count.
    struct Drawing {
        QPixmap picture;
        int nodes = 0;   // nodes drawn, each joined to its box
        int gauges = 0;  // stacked: pairs; staggered: gauges
    };

    void buildIdentificationPage();
    void buildInstallationPage();
    void buildGaugePanel();
    void buildInstallationGaugePanel();
    void refreshDrawings();

    // Moves the Configuration recordset to the row of a sensor type; false (and a message
    // when asked) when the type is missing.
    bool findConfiguration(const QString& type);
    // Puts the Configuration recordset back on the shown sensor's type, quietly.
    void restoreConfiguration();
    // Moves the Sensors recordset to a sensor; false when it is not in the recordset.
    bool moveToSensor(const QString& id);
    void clearRecordBoxes();
    // What to tell the user when a number or date box holds text the row cannot take
    // (empty when every box is fine), worded for what happens next.
    QString refusedBoxMessage(SaveThen then) const;
    // A save refused because another user changed or deleted the sensor: the user is told
    // and the sensor's current values (or the first sensor) are shown. True when e was such
    // a refusal.
    bool tellConflict(const TwError& e);
    void showListAfterReread(const QString& shown);
    void showHeart(bool dead);
    void placeInstallationBoxes(bool stacked);
    void buildAlarmControls();
    // The type's gauge channel count (NumChannels of the Configuration row shown); every box
    // when it cannot be read.
    int channelCount() const;
    const Drawing& drawing(bool identification, bool stacked, int channels);
    void showDrawing(QLabel* label, const Drawing& d, bool stacked);

    // The key handlers of cboSensors, cboDestroyed and txtNode(1); true when the key is
    // consumed.
    bool cboSensorsKeyDown(int key, const QString& text);
    bool cboDestroyedKeyPress(const QString& text);
    bool txtNodeKeyPress(int index, int key, const QString& text);
    void completeSensorEntry(const QString& text);
    bool addSensorRows(const QString& n, const QString& family, const QString& model, int channels);

    PageHost& m_win;
    Shared& m_s;
    QWidget* m_idPage = nullptr;
    QWidget* m_installPage = nullptr;
    QWidget* m_idHolder = nullptr;
    QWidget* m_installHolder = nullptr;

    // Identification page.
    QLineEdit* txtDateID = nullptr;
    QLineEdit* txtTypeID = nullptr;
    QLineEdit* txtSensorNo = nullptr;
    QLineEdit* txtFamily = nullptr;
    QLineEdit* txtLengthofCable = nullptr;
    QLineEdit* txtSnav = nullptr;
    QLineEdit* txtSensor3 = nullptr;
    QRadioButton* optStacked = nullptr;
    QRadioButton* optStaggered = nullptr;
    QButtonGroup* m_layoutGroup = nullptr;
    QLineEdit* txtBoltkfactor = nullptr;
    QLineEdit* txtLengthofGauge = nullptr;
    QLineEdit* txtNumGauges = nullptr;
    QComboBox* cboDestroyed = nullptr;
    QLineEdit* txtDestructionDate = nullptr;
    QLabel* imgheart = nullptr;
    QLabel* imgalive = nullptr;
    QLabel* imgdead = nullptr;
    QLabel* imgStack = nullptr;
    QLabel* imgStag = nullptr;
    QLabel* m_imgHead1 = nullptr;  // imgHead(1)
    QWidget* m_gaugePanel = nullptr;

    // Installation page.
    QLineEdit* txtSensor2 = nullptr;
    QLineEdit* txtLevel = nullptr;
    QLineEdit* txtLocation = nullptr;
    QLineEdit* txtBorehole = nullptr;
    QLineEdit* txtInstallDate = nullptr;
    QLineEdit* txtInstallBy = nullptr;
    QLineEdit* txtPurpose = nullptr;
    QLineEdit* txtNotes = nullptr;
    QLabel* lbloption = nullptr;
    QLabel* m_imgHead0 = nullptr;      // imgHead(0)
    QLabel* lblAlarmStatus = nullptr;  // Identification page: the status line
    QLabel* lblAlarmLevels = nullptr;  // Installation page: the levels set
    QToolButton* cmdAlarmLevels = nullptr;
    QHash<QString, Drawing> m_drawings;  // the drawings made so far

    std::array<QLineEdit*, 9> m_txtNode{};
    std::array<QLineEdit*, 7> m_txtSGCenter{};
    std::array<QLineEdit*, 9> m_txtRelSGanchor{};
    std::array<QLineEdit*, 7> m_txtRelSGCenter{};

    // The last key in cboSensors was Delete or Backspace: no completion.
    bool m_editingKey = false;
    // Saves made while a key is being typed do not tell the user about a refused value
    // (the text is still being typed); the log still records it.
    bool m_quietSave = false;
    // Sensors whose unknown type code has been told.
    QSet<QString> m_unknownTypeTold;
};
