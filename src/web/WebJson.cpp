#include "web/WebJson.h"

#include <charconv>
#include <cmath>

void JsonWriter::separate()
{
    if (m_afterKey) {
        m_afterKey = false;
        return;
    }
    if (m_hasItems.empty()) return;
    if (m_hasItems.back()) m_out += ',';
    m_hasItems.back() = true;
}

JsonWriter& JsonWriter::beginObject()
{
    separate();
    m_out += '{';
    m_hasItems.push_back(false);
    return *this;
}

JsonWriter& JsonWriter::endObject()
{
    m_out += '}';
    m_hasItems.pop_back();
    return *this;
}

JsonWriter& JsonWriter::beginArray()
{
    separate();
    m_out += '[';
    m_hasItems.push_back(false);
    return *this;
}

JsonWriter& JsonWriter::endArray()
{
    m_out += ']';
    m_hasItems.pop_back();
    return *this;
}

JsonWriter& JsonWriter::key(QStringView name)
{
    separate();
    appendString(m_out, name);
    m_out += ':';
    m_afterKey = true;
    return *this;
}

JsonWriter& JsonWriter::key(const char* name) { return key(QString::fromLatin1(name)); }

JsonWriter& JsonWriter::value(QStringView text)
{
    separate();
    appendString(m_out, text);
    return *this;
}

JsonWriter& JsonWriter::value(const char* text) { return value(QString::fromUtf8(text)); }

JsonWriter& JsonWriter::value(double number)
{
    separate();
    appendNumber(m_out, number);
    return *this;
}

JsonWriter& JsonWriter::value(qint64 number)
{
    separate();
    m_out += QByteArray::number(number);
    return *this;
}

JsonWriter& JsonWriter::value(bool yes)
{
    separate();
    m_out += yes ? "true" : "false";
    return *this;
}

JsonWriter& JsonWriter::raw(const QByteArray& json)
{
    separate();
    m_out += json;
    return *this;
}

JsonWriter& JsonWriter::null()
{
    separate();
    m_out += "null";
    return *this;
}

void JsonWriter::appendNumber(QByteArray& out, double number)
{
    if (!std::isfinite(number)) {
        out += "null";
        return;
    }
    char buffer[32];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, number);
    out.append(buffer, r.ptr - buffer);
}

void JsonWriter::appendString(QByteArray& out, QStringView text)
{
    static const char hex[] = "0123456789abcdef";
    out += '"';
    const QByteArray utf8 = text.toUtf8();
    for (const char c : utf8) {
        const auto u = static_cast<unsigned char>(c);
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            case '<':  // "</script>" and "<!--" inside a page's script
            case '>':
            case '&':
                out += "\\u00";
                out += hex[u >> 4];
                out += hex[u & 15];
                break;
            default:
                if (u < 0x20) {
                    out += "\\u00";
                    out += hex[u >> 4];
                    out += hex[u & 15];
                } else {
                    out += c;
                }
        }
    }
    out += '"';
}

QByteArray jsonError(const QString& text)
{
    JsonWriter w;
    w.beginObject().member("error", text).endObject();
    return w.take();
}
