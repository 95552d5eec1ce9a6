#include "store/SqlTokens.h"

namespace SqlTokens {

QChar Token::quote() const
{
    return (kind == QuotedName || kind == String) && !text.isEmpty() ? text.front() : QChar();
}

QString Token::value() const
{
    const QChar open = quote();
    if (open.isNull()) return text;
    const QChar close = open == u'[' ? QChar(u']') : open;
    QString inner = text.mid(1, text.size() - (closed ? 2 : 1));
    // A bracketed name has no way to hold its closing mark; the other marks are doubled.
    if (open != u'[') inner.replace(QString(2, close), QString(close));
    return inner;
}

bool Token::isWord(const char* word) const
{
    return kind == Word && text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
}

bool Token::isSymbol(char c) const { return kind == Symbol && text.size() == 1 && text.front() == QLatin1Char(c); }

namespace {

bool startsWord(QChar c) { return c.isLetter() || c == u'_'; }
bool insideWord(QChar c) { return c.isLetterOrNumber() || c == u'_' || c == u'$'; }

// The end of a quoted token opened at i (the index after its closing mark, or n when it has
// none). The closing mark written twice stands for itself, except in brackets.
int quotedEnd(const QString& s, int i, QChar close, bool doubles, bool* closed)
{
    const int n = int(s.size());
    for (int j = i + 1; j < n; ++j) {
        if (s[j] != close) continue;
        if (doubles && j + 1 < n && s[j + 1] == close) {
            ++j;
            continue;
        }
        *closed = true;
        return j + 1;
    }
    *closed = false;
    return n;
}

// The end of a number begun at i: digits, a decimal point (unless the number began with it)
// and digits, then an exponent.
int numberEnd(const QString& s, int i)
{
    const int n = int(s.size());
    const bool pointFirst = s[i] == u'.';
    int j = i + 1;
    while (j < n && s[j].isDigit()) ++j;
    if (!pointFirst && j < n && s[j] == u'.') {
        ++j;
        while (j < n && s[j].isDigit()) ++j;
    }
    if (j < n && (s[j] == u'e' || s[j] == u'E')) {
        int k = j + 1;
        if (k < n && (s[k] == u'+' || s[k] == u'-')) ++k;
        if (k < n && s[k].isDigit()) {
            while (k < n && s[k].isDigit()) ++k;
            j = k;
        }
    }
    return j;
}

}  // namespace

Tokens tokenize(const QString& s)
{
    Tokens out;
    const int n = int(s.size());
    int i = 0;
    while (i < n) {
        const QChar c = s[i];
        const QChar next = i + 1 < n ? s[i + 1] : QChar();
        Token t;
        t.start = i;
        int end = i + 1;
        if (c.isSpace()) {
            t.kind = Token::Space;
            while (end < n && s[end].isSpace()) ++end;
        } else if (c == u'-' && next == u'-') {
            t.kind = Token::Comment;
            while (end < n && s[end] != u'\n') ++end;
        } else if (c == u'/' && next == u'*') {
            t.kind = Token::Comment;
            const int close = int(s.indexOf(QLatin1String("*/"), i + 2));
            t.closed = close >= 0;
            end = t.closed ? close + 2 : n;
        } else if (startsWord(c)) {
            t.kind = Token::Word;
            while (end < n && insideWord(s[end])) ++end;
        } else if (c == u'\'') {
            t.kind = Token::String;
            end = quotedEnd(s, i, c, true, &t.closed);
        } else if (c == u'`' || c == u'"') {
            t.kind = Token::QuotedName;
            end = quotedEnd(s, i, c, true, &t.closed);
        } else if (c == u'[') {
            t.kind = Token::QuotedName;
            end = quotedEnd(s, i, u']', false, &t.closed);
        } else if (c.isDigit() || (c == u'.' && next.isDigit())) {
            t.kind = Token::Number;
            end = numberEnd(s, i);
        } else if (c == u'?') {
            t.kind = Token::Placeholder;
            while (end < n && s[end].isDigit()) ++end;
        }
        t.text = s.mid(i, end - i);
        out << t;
        i = end;
    }
    return out;
}

int nextSolid(const Tokens& t, int from)
{
    for (int i = from; i < t.size(); ++i)
        if (!t[i].isBlank()) return i;
    return int(t.size());
}

}  // namespace SqlTokens
