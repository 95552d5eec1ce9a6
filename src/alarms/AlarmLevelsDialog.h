#pragma once
#include "alarms/AlarmRules.h"

#include <QDialog>
#include <array>

class QLineEdit;

// The alarm levels of one sensor: upper and lower Alert and Action levels for the load and
// the displacement, the rate levels and their window, the margin a value must fall back by
// to clear a level, and the days without a reading after which the sensor is stale. OK
// checks every box (numbers only, Action beyond Alert) and says what to correct; the
// window closes only on levels that pass.
class AlarmLevelsDialog : public QDialog {
    Q_OBJECT
public:
    AlarmLevelsDialog(const QString& sensorId, const AlarmRules::Texts& texts, QWidget* parent = nullptr);

    // The levels checked by OK.
    const AlarmStore::Levels& levels() const { return m_levels; }
    QLineEdit* box(AlarmRules::Field f) const { return m_boxes[size_t(f)]; }

    void onOkClicked();

private:
    std::array<QLineEdit*, AlarmRules::FieldCount> m_boxes{};
    AlarmStore::Levels m_levels;
};
