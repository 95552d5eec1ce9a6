#pragma once
#include <cstddef>
#include <memory>
#include <vector>

// Columns of numbers filled one row at a time, as the charts read them. A column takes no
// memory while every value in it is "no value" (the quiet NaN): many columns a chart asks
// for are empty for the sensor at hand (gauges it does not have), and at a million
// readings each would hold 8 MB of NaN. The columns still empty at the end share one array.
class NumberColumns {
public:
    NumberColumns(size_t count, size_t expectedRows);

    void push(size_t column, double value)
    {
        Column& c = m_columns[column];
        if (c.values) c.values->push_back(value);
        else if (isNoValue(value)) ++c.noValues;
        else start(c, value);
    }

    // Appends the rows of later (filled with the same columns) after the rows pushed here.
    void append(NumberColumns&& later);

    // The columns, each of `rows` values (the number of pushes to every column); the empty
    // ones are one shared array. With shrink, room much beyond the rows is given back.
    std::vector<std::shared_ptr<std::vector<double>>> finish(size_t rows, bool shrink);

    static bool isNoValue(double value);

private:
    struct Column {
        std::shared_ptr<std::vector<double>> values;  // null while every value is no value
        size_t noValues = 0;
    };
    void start(Column& c, double first);

    std::vector<Column> m_columns;
    size_t m_expected = 0;
};
