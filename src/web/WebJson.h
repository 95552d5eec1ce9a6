#pragma once
#include <QByteArray>
#include <QString>
#include <QStringView>
#include <optional>
#include <vector>

// Writes JSON text straight into bytes: the answers of the web view are written as they are
// computed, a series of a million readings included, without building a document first.
// Numbers are written in their shortest form that reads back as the same double; a NaN or
// an infinity (no value) is written as null. Texts are escaped so that the answer can also
// sit inside a page's <script> unchanged.
class JsonWriter {
public:
    JsonWriter& beginObject();
    JsonWriter& endObject();
    JsonWriter& beginArray();
    JsonWriter& endArray();
    // The name of the next member of the object being written.
    JsonWriter& key(QStringView name);
    JsonWriter& key(const char* name);

    JsonWriter& value(QStringView text);
    JsonWriter& value(const QString& text) { return value(QStringView(text)); }
    JsonWriter& value(const char* text);
    JsonWriter& value(double number);
    JsonWriter& value(qint64 number);
    JsonWriter& value(int number) { return value(qint64(number)); }
    JsonWriter& value(bool yes);
    JsonWriter& value(const std::optional<double>& number) { return number ? value(*number) : null(); }
    JsonWriter& null();
    // A value already written as JSON text (an array of numbers built by the caller).
    JsonWriter& raw(const QByteArray& json);
    // A text, or null when it is empty.
    JsonWriter& textOrNull(const QString& text) { return text.isEmpty() ? null() : value(text); }

    // Shortcuts for one member.
    template <typename T>
    JsonWriter& member(const char* name, const T& v)
    {
        key(name);
        return value(v);
    }

    const QByteArray& bytes() const { return m_out; }
    QByteArray take() { return std::move(m_out); }
    void reserve(qsizetype bytes) { m_out.reserve(bytes); }

    // The shortest text of a double that reads back as the same value ("0.1", "1e+300").
    static void appendNumber(QByteArray& out, double number);
    static void appendString(QByteArray& out, QStringView text);

private:
    void separate();

    QByteArray m_out;
    std::vector<bool> m_hasItems;  // per open object or array: whether an item was written
    bool m_afterKey = false;
};

// {"error":"text"}
QByteArray jsonError(const QString& text);
