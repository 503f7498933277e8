#include "pendant/minidisplaytext.h"

#include "common/proverror.h"

namespace tarvisk {

namespace {

// The symbol an escape pair stands for, or the character itself.
char16_t escapeSymbol(char16_t c)
{
    static constexpr char16_t controls[] = {
        u'▽', u'△', u'▼', u'▲', u'◆', u'◇', u'←', u'→', // 0x10..0x17
        u'≪', u'≫', u'⇔', u'⌒', u'○', u'●', u'◎',       // 0x18..0x1E
    };
    static constexpr char16_t digits[] = {u'！', u'ｉ', u'？', u'Ｃ', u'Ｗ', u'Ｘ'}; // '0'..'5'
    if (c >= 0x10 && c <= 0x1E)
        return controls[c - 0x10];
    if (c >= u'0' && c <= u'5')
        return digits[c - u'0'];
    return c;
}

// Full-width forms of U+FF61..U+FF9F.
constexpr char16_t halfWidthKana[] = {
    0x3002, 0x300C, 0x300D, 0x3001, 0x30FB, 0x30F2, 0x30A1, 0x30A3, // FF61..FF68
    0x30A5, 0x30A7, 0x30A9, 0x30E3, 0x30E5, 0x30E7, 0x30C3, 0x30FC, // FF69..FF70
    0x30A2, 0x30A4, 0x30A6, 0x30A8, 0x30AA, 0x30AB, 0x30AD, 0x30AF, // FF71..FF78
    0x30B1, 0x30B3, 0x30B5, 0x30B7, 0x30B9, 0x30BB, 0x30BD, 0x30BF, // FF79..FF80
    0x30C1, 0x30C4, 0x30C6, 0x30C8, 0x30CA, 0x30CB, 0x30CC, 0x30CD, // FF81..FF88
    0x30CE, 0x30CF, 0x30D2, 0x30D5, 0x30D8, 0x30DB, 0x30DE, 0x30DF, // FF89..FF90
    0x30E0, 0x30E1, 0x30E2, 0x30E4, 0x30E6, 0x30E8, 0x30E9, 0x30EA, // FF91..FF98
    0x30EB, 0x30EC, 0x30ED, 0x30EF, 0x30F3, 0x309B, 0x309C,         // FF99..FF9F
};

bool isHaRow(char16_t kana)
{
    return kana == 0x30CF || kana == 0x30D2 || kana == 0x30D5 || kana == 0x30D8 || kana == 0x30DB;
}

// The voiced form of a full-width kana, or 0 when it has none.
char16_t voiced(char16_t kana)
{
    if (kana >= 0x30AB && kana <= 0x30C1 && (kana & 1))
        return kana + 1; // ka, sa and ta rows up to chi
    if (kana == 0x30C4 || kana == 0x30C6 || kana == 0x30C8 || isHaRow(kana))
        return kana + 1;
    if (kana == 0x30A6)
        return 0x30F4;
    return 0;
}

} // namespace

QString expandDisplayEscapes(const QString &text)
{
    // A symbol is never an escape itself, so one pass from the left gives what repeated
    // searches from the start would.
    qsizetype d = text.indexOf(QChar(DisplayEscape));
    if (d < 0)
        return text;
    QString out;
    out.reserve(text.size());
    out.append(QStringView(text).left(d));
    for (qsizetype i = d; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c != DisplayEscape) {
            out.append(QChar(c));
            continue;
        }
        if (i + 1 >= text.size())
            raiseError(ErrInvalidArgument);
        out.append(QChar(escapeSymbol(text[++i].unicode())));
    }
    return out;
}

QString toWideCharacters(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c >= 0x21 && c <= 0x7E) {
            out.append(QChar(char16_t(c - 0x21 + 0xFF01)));
        } else if (c == 0x20) {
            out.append(QChar(char16_t(0x3000)));
        } else if (c >= 0xFF61 && c <= 0xFF9F) {
            const char16_t kana = halfWidthKana[c - 0xFF61];
            const char16_t mark = i + 1 < text.size() ? text[i + 1].unicode() : 0;
            char16_t combined = 0;
            if (mark == 0xFF9E)
                combined = voiced(kana);
            else if (mark == 0xFF9F && isHaRow(kana))
                combined = kana + 2;
            if (combined) {
                out.append(QChar(combined));
                ++i;
            } else {
                out.append(QChar(kana));
            }
        } else {
            out.append(QChar(c));
        }
    }
    return out;
}

} // namespace tarvisk
