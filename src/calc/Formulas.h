#pragma once
#include <QByteArrayView>
#include <QString>
#include <array>
#include <optional>

// The formulas of the calculation passes, on plain values: zeroing a reading against the
// baseline, the load at each gauge position, the displacement and the shear strain.
//
// Channel-indexed arrays are indexed from 1 (index 0 is unused), like the columns
// Channel1..Channel10, zero1..zero10, Load1..Load6, Disp1..Disp6 and Stretch1..Stretch4.
//
// Units: zeroed strains in microstrain; the k factor in microstrain per ton, so loads are
// in tons; stacked displacements are sums of microstrain, staggered ones micrometres
// (microstrain times metres); shear strain in microstrain.
//
// Failures throw TwError: 13 (type mismatch) for a text that is not a number, 11
// (division by zero) for a k factor of 0, 6 (overflow) for a result too large to hold.
//
// No value: a zeroed strain may be NaN (the reading has no value where the baseline has
// one). Every load, displacement and shear computed from a NaN is NaN, and is stored as
// null; a displacement is a running sum, so a NaN reaches every position whose sum
// includes it.
namespace Calc {

constexpr int ChannelCount = 10;
using ChannelValues = std::array<double, ChannelCount + 1>;  // [1..10]

// ---- Zeroing -----------------------------------------------------------------------

// The offset of one channel, from the baseline reading's stored text: the number by the
// locale-aware conversion, or NaN when the baseline has no value in that channel (empty
// or blank text). Throws 13 when the text is not a number.
double offsetFromText(const QString& baselineText);

// The zeroed value of one channel: 0 when the baseline has no value in it (NaN offset),
// whether the reading has one or not; no value (NaN) when only the reading has none
// (empty or blank text); otherwise value - offset with the value taken by the
// locale-aware conversion. Throws 13 when the reading's text is not a number.
double zeroFromText(const QString& text, double offset);

// The zero of a channel whose text counts as no value (a text that is not a number, a
// rejected value): as zeroFromText gives for an empty text.
double noValueZero(double offset);

// The temperature as a number: the leading number of the text ("." as decimal point),
// 0 for a text that does not begin with a number, no value (NaN) for an empty or blank
// text.
double tempFromText(const QString& text);

// The same two on the UTF-8 bytes of a stored text, as the passes read them (an
// optionally signed ASCII decimal is converted without making a QString; any other text
// goes through the functions above, so results and failures are the same).
double zeroFromUtf8(QByteArrayView text, double offset);
double tempFromUtf8(QByteArrayView text);

// ---- Computed columns ----------------------------------------------------------------

// The values of one family of columns for a reading: columns 1..count are written, the
// others are left as they are in the row.
struct Columns {
    int count = 0;
    std::array<double, 7> v{};  // [1..6]
    double operator[](int i) const { return v[size_t(i)]; }
};

// How many Load / Disp / Stretch columns a sensor type writes in a layout. Type "75"
// writes 3 (stacked) or 6 loads and displacements (staggered) and 3 or 4 shears; "55"
// writes 2 of each when stacked; "35" writes 1 of each when stacked. Staggered "55" and
// "35", and every other type, write none.
int loadColumnCount(const QString& type, bool stacked);
int dispColumnCount(const QString& type, bool stacked);
int shearColumnCount(const QString& type, bool stacked);

// The k factor as the load formulas take it from the box's text: the locale-aware
// conversion in the stacked layout (throws 13 for an empty or non-numeric text), the
// leading number in the staggered layout (an empty text counts as 0).
double loadKFactor(const QString& kText, bool stacked);

// The k factor as the displacement formulas take it: the leading number of the text.
double dispKFactor(const QString& kText);

// Loads in tons from the zeroed strains z[1..6]. Stacked: the mean of each opposite pair
// times 1/k. Staggered "75": each gauge in the sequence 1, 4, 2, 5, 3, 6 along the bolt
// weighted 2 and its neighbours 1, over 4, except over 3 at the first position (the last
// position keeps 4). Throws when the k factor fails to convert (stacked) or is 0 (11);
// nothing is thrown for a type that writes no loads.
Columns loads(const QString& type, bool stacked, const ChannelValues& z, const QString& kText);

// Displacements from the loads L[1..6] just computed: the running sum from the last
// position back to the first of L x k (stacked: no gauge length) or L x k x gaugeLength/2
// (staggered "75", gauge length in metres by the locale-aware conversion, which throws 13
// for an empty or non-numeric text). k is dispKFactor(kText).
Columns displacements(const QString& type, bool stacked, const Columns& loads, const QString& kText,
                      const QString& gaugeLengthText);

// Shear strains from the zeroed strains z[1..6]: half the difference between opposite
// gauges (stacked), or a gauge against the mean of its two neighbours, halved, at the four
// inner positions of the sequence 1, 4, 2, 5, 3, 6 (staggered "75"). Never throws.
Columns shears(const QString& type, bool stacked, const ChannelValues& z);

// The three formulas of a pass for one sensor, with the sensor's type, layout, k factor and
// gauge length converted once instead of for every reading. Each gives exactly the result
// of loads(), displacements() and shears() above with the same inputs, and throws the same
// error where they would.
class PassFormulas {
public:
    PassFormulas(const QString& type, bool stacked, const QString& kText, const QString& gaugeLengthText);
    int loadCount() const { return m_loadCount; }
    int dispCount() const { return m_loadCount; }
    int shearCount() const { return m_shearCount; }
    Columns loads(const ChannelValues& z) const;
    Columns displacements(const Columns& loads) const;
    Columns shears(const ChannelValues& z) const;

private:
    int m_kind = 0;
    int m_loadCount = 0;
    int m_shearCount = 0;
    QString m_type;
    bool m_stacked = true;
    std::optional<double> m_perK;    // 1 / k; none when the conversion fails or k is 0
    std::optional<int> m_loadError;  // the error number loads() throws, when it does
    QString m_loadErrorText;
    double m_dispK = 0;
    std::optional<double> m_half;  // gauge length / 2 (staggered "75")
    std::optional<int> m_dispError;
    QString m_dispErrorText;
};

}  // namespace Calc
