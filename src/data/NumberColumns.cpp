#include "data/NumberColumns.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <limits>

namespace {
constexpr double NoValue = std::numeric_limits<double>::quiet_NaN();
}

NumberColumns::NumberColumns(size_t count, size_t expectedRows) : m_columns(count), m_expected(expectedRows) {}

// Only the very NaN the array is filled with counts, so that a value is given back with
// the bits it was pushed with.
bool NumberColumns::isNoValue(double value)
{
    return std::bit_cast<std::uint64_t>(value) == std::bit_cast<std::uint64_t>(NoValue);
}

void NumberColumns::start(Column& c, double first)
{
    c.values = std::make_shared<std::vector<double>>();
    c.values->reserve(std::max(m_expected, c.noValues + 1));
    c.values->assign(c.noValues, NoValue);
    c.values->push_back(first);
}

void NumberColumns::append(NumberColumns&& later)
{
    for (size_t i = 0; i < m_columns.size(); ++i) {
        Column& c = m_columns[i];
        Column& l = later.m_columns[i];
        if (!l.values) {
            if (c.values) c.values->insert(c.values->end(), l.noValues, NoValue);
            else c.noValues += l.noValues;
            continue;
        }
        if (!c.values) {
            c.values = std::make_shared<std::vector<double>>();
            c.values->reserve(std::max(m_expected, c.noValues + l.values->size()));
            c.values->assign(c.noValues, NoValue);
        }
        c.values->insert(c.values->end(), l.values->begin(), l.values->end());
        l.values.reset();
    }
    later.m_columns.clear();
}

std::vector<std::shared_ptr<std::vector<double>>> NumberColumns::finish(size_t rows, bool shrink)
{
    std::vector<std::shared_ptr<std::vector<double>>> out;
    out.reserve(m_columns.size());
    std::shared_ptr<std::vector<double>> empty;
    for (Column& c : m_columns) {
        if (!c.values) {
            if (!empty) empty = std::make_shared<std::vector<double>>(rows, NoValue);
            out.push_back(empty);
            continue;
        }
        if (shrink && c.values->capacity() > c.values->size() + c.values->size() / 4) c.values->shrink_to_fit();
        out.push_back(std::move(c.values));
    }
    m_columns.clear();
    return out;
}
