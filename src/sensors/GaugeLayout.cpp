#include "sensors/GaugeLayout.h"
#include "calc/Numbers.h"
#include "core/TwError.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace GaugeLayout {

namespace {

// A computed number in the plain form the position boxes show: at most fifteen
// significant digits, no exponent for bolt-sized values ("125", "100.15").
QString plainNumber(double v)
{
    if (v == 0) return QStringLiteral("0");
    return QString::number(v, 'g', 15);
}

}  // namespace

std::optional<double> gaugeLength(const QString& text)
{
    if (text.trimmed().isEmpty()) return std::nullopt;
    const double d = Numbers::localeValue(text);  // throws 13
    if (std::fabs(d) > double(std::numeric_limits<float>::max()))
        throw TwError(ErrNo::Overflow, QStringLiteral("Overflow"));
    const float f = float(d);
    // The single's shortest decimal form, read back as a double.
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, f);
    return QString::fromLatin1(buf, int(res.ptr - buf)).toDouble();
}

QString twoDecimals(const QString& text) { return Numbers::formatText(text, QStringLiteral("##0.00")); }

Positions compute(const QString& firstNodeText, double length, int numChannels, bool stacked)
{
    const QString pattern = QStringLiteral("##0.00");
    Positions p;
    const int n = numChannels;
    QString previous = firstNodeText;
    if (stacked) {
        for (int i = 2; i <= n - 2; ++i) {
            previous = Numbers::format(Numbers::leadingValue(previous) + length, pattern);
            p.nodes << previous;
        }
        previous = plainNumber(Numbers::leadingValue(firstNodeText) + length / 2);
        p.centres << previous;
        for (int i = 2; i <= n - 3; ++i) {
            previous = Numbers::format(Numbers::leadingValue(previous) + length, pattern);
            p.centres << previous;
        }
    } else {
        for (int i = 2; i <= n + 2; ++i) {
            previous = Numbers::format(Numbers::leadingValue(previous) + length / 2, pattern);
            p.nodes << previous;
        }
        previous = Numbers::format(Numbers::leadingValue(firstNodeText) + length / 2, pattern);
        p.centres << previous;
        for (int i = 2; i <= n; ++i) {
            previous = Numbers::format(Numbers::leadingValue(previous) + length / 2, pattern);
            p.centres << previous;
        }
    }
    return p;
}

int nodesWithValue(int numChannels, bool stacked) { return std::max(1, stacked ? numChannels - 2 : numChannels + 2); }

int centresWithValue(int numChannels, bool stacked) { return std::max(1, stacked ? numChannels - 3 : numChannels); }

const std::vector<Place>& identificationNodes(bool stacked)
{
    static const std::vector<Place> stackedNodes = {{2, 8400, 6240}, {3, 8400, 4560}, {4, 8400, 2880}};
    static const std::vector<Place> staggeredNodes = {{2, 8400, 7440},  {3, 10680, 6600}, {4, 8400, 5760},
                                                      {5, 10680, 4920}, {6, 8400, 4080},  {7, 10680, 3240},
                                                      {8, 8400, 2520}};
    return stacked ? stackedNodes : staggeredNodes;
}

const std::vector<Place>& identificationCentres(bool stacked)
{
    static const std::vector<Place> stackedCentres = {{1, 12120, 7080}, {2, 12120, 5400}, {3, 12120, 3840}};
    static const std::vector<Place> staggeredCentres = {{1, 12360, 7440}, {2, 12360, 6600}, {3, 12360, 5760},
                                                        {4, 12360, 4920}, {5, 12360, 4080}, {6, 12360, 3240}};
    return stacked ? stackedCentres : staggeredCentres;
}

Place identificationFirstNode() { return {1, 8400, 8160}; }

const std::vector<Place>& installationNodes(bool stacked)
{
    static const std::vector<Place> stackedNodes = {{1, 8520, 8040}, {2, 8520, 6360}, {3, 8520, 4680}, {4, 8520, 2880}};
    static const std::vector<Place> staggeredNodes = {{1, 8640, 8280},  {2, 8640, 7560},  {3, 11760, 6720},
                                                      {4, 8640, 5880},  {5, 11760, 5040}, {6, 8640, 4200},
                                                      {7, 11760, 3360}, {8, 8640, 2640}};
    return stacked ? stackedNodes : staggeredNodes;
}

const std::vector<Place>& installationCentres(bool stacked)
{
    static const std::vector<Place> stackedCentres = {{1, 12840, 7320}, {2, 12840, 5520}, {3, 12840, 3960}};
    static const std::vector<Place> staggeredCentres = {{1, 13080, 7560}, {2, 13080, 6720}, {3, 13080, 5880}};
    return stacked ? stackedCentres : staggeredCentres;
}

const std::vector<Place>& installationExtraCentres()
{
    static const std::vector<Place> extra = {{4, 13080, 5040}, {5, 13080, 4200}, {6, 13080, 3360}};
    return extra;
}

}  // namespace GaugeLayout
