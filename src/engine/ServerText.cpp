#include "engine/ServerText.h"

namespace {
constexpr char16_t Esc = 0x1b;
constexpr char16_t Bel = 0x07;
constexpr char16_t Csi8 = 0x9b;  // the 8-bit forms of CSI, OSC and ST
constexpr char16_t Osc8 = 0x9d;
constexpr char16_t St8 = 0x9c;

// Characters that reorder what follows them on screen.
bool isBidiControl(char16_t c)
{
    return (c >= 0x202a && c <= 0x202e) || (c >= 0x2066 && c <= 0x2069) || c == 0x200e || c == 0x200f
        || c == 0x061c;
}

// Index after a CSI sequence whose parameters start at i: parameter and
// intermediate bytes, then one final byte.
qsizetype skipCsi(const QString &t, qsizetype i)
{
    while (i < t.size() && t.at(i).unicode() >= 0x20 && t.at(i).unicode() <= 0x3f)
        ++i;
    return i < t.size() && t.at(i).unicode() >= 0x40 && t.at(i).unicode() <= 0x7e ? i + 1 : i;
}

// Index after a string sequence (OSC, DCS, ...) whose body starts at i: up to
// BEL or ST, or the end of the text when it is never closed.
qsizetype skipString(const QString &t, qsizetype i)
{
    while (i < t.size()) {
        const char16_t c = t.at(i).unicode();
        if (c == Bel || c == St8)
            return i + 1;
        if (c == Esc && i + 1 < t.size() && t.at(i + 1) == QLatin1Char('\\'))
            return i + 2;
        ++i;
    }
    return i;
}
} // namespace

QString cleanServerText(const QString &text)
{
    QString out;
    out.reserve(text.size());
    qsizetype i = 0;
    while (i < text.size()) {
        const char16_t c = text.at(i).unicode();
        if (c == Esc && i + 1 < text.size()) {
            const char16_t next = text.at(i + 1).unicode();
            if (next == u'[')
                i = skipCsi(text, i + 2);
            else if (next == u']' || next == u'P' || next == u'X' || next == u'^' || next == u'_')
                i = skipString(text, i + 2);
            else
                i += 2;  // a two-character escape (or ESC with a stray control)
            continue;
        }
        if (c == Csi8) {
            i = skipCsi(text, i + 1);
            continue;
        }
        if (c == Osc8 || c == 0x90 || c == 0x98 || c == 0x9e || c == 0x9f) {
            i = skipString(text, i + 1);
            continue;
        }
        ++i;
        if (c == u'\t' || c == u'\n' || c == u'\r') {
            if (!out.isEmpty() && !out.endsWith(QLatin1Char(' ')))
                out += QLatin1Char(' ');
            continue;
        }
        if (isControlCharacter(QChar(c)) || isBidiControl(c))
            continue;
        out += QChar(c);
    }
    return out.trimmed();
}

bool isControlCharacter(QChar c)
{
    return c.unicode() < 0x20 || (c.unicode() >= 0x7f && c.unicode() <= 0x9f);
}
