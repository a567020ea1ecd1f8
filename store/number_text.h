// The number texts of column values: an optional sign and decimal digits (with an optional
// fraction for reals, no exponent); anything left over, or no text at all, gives 0. Integers
// accumulate in unsigned arithmetic, so wrap-around is defined and gives the same bits a
// two's-complement accumulator would. Internal to store/ (C++ only).
#ifndef KV_STORE_NUMBER_TEXT_H
#define KV_STORE_NUMBER_TEXT_H

namespace numbertext {

inline bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

template <typename Unsigned>
Unsigned ParseInteger(const char *text) {
    bool negative = false;
    if (*text == '+' || *text == '-') negative = *text++ == '-';
    Unsigned value = 0;
    for (; IsDigit(*text); ++text) value = value * 10u + Unsigned(*text - '0');
    if (*text != '\0') return 0;
    return negative ? Unsigned(0) - value : value;
}

inline double ParseReal(const char *text) {
    bool negative = false;
    if (*text == '+' || *text == '-') negative = *text++ == '-';
    double value = 0;
    for (; IsDigit(*text); ++text) value = value * 10 + (*text - '0');
    if (*text == '.') {
        double scale = 1;
        for (++text; IsDigit(*text); ++text) {
            scale *= 10;
            value += (*text - '0') / scale;
        }
    }
    if (*text != '\0') return 0;
    return negative ? -value : value;
}

}  // namespace numbertext

#endif  // KV_STORE_NUMBER_TEXT_H
