#pragma once
#include <QList>
#include <QString>

// A statement split into its tokens: the one reading of SQL text the dialect functions share.
// Every character of the text belongs to exactly one token, so the tokens' texts joined give
// the statement back as written.
namespace SqlTokens {

struct Token {
    enum Kind {
        Space,        // blanks and line ends
        Comment,      // "-- to the line's end" or "/* ... */"
        Word,         // a bare word: keyword, name or function
        QuotedName,   // `name`, [name] or "name"
        String,       // 'text', '' inside for a quote
        Number,       // 12, 1.5, .5, 2e-3
        Placeholder,  // ? or ?N
        Symbol,       // one character of punctuation or an operator
    };
    Kind kind = Symbol;
    QString text;                         // as written, quotes included
    int start = 0;                        // where the token begins in the statement
    bool closed = true;                   // a string, quoted name or block comment has its closing mark
    QChar quote() const;                  // the opening mark of a quoted name or string ('\0' otherwise)
    QString value() const;                // a quoted name or string without its marks, doubled marks single
    bool isWord(const char* word) const;  // a bare word, compared without case
    bool isSymbol(char c) const;
    bool isName() const { return kind == Word || kind == QuotedName; }
    bool isBlank() const { return kind == Space || kind == Comment; }
};

using Tokens = QList<Token>;

Tokens tokenize(const QString& sql);

// The index of the first token at or after from that is not blank (t.size() when none).
int nextSolid(const Tokens& t, int from);

}  // namespace SqlTokens
