#include "bus/lineencoding.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

#if defined(__SSE2__)
// Copies the leading run of from..end that goes out unchanged (Latin-1,
// no line break), eight characters at a time; returns where it stopped.
const char16_t *copyPlainRun(const char16_t *from, const char16_t *const end, char *&to)
{
    const __m128i highByte = _mm_set1_epi16(short(0xff00));
    const __m128i lineFeed = _mm_set1_epi16(u'\n');
    const __m128i carriageReturn = _mm_set1_epi16(u'\r');
    while (end - from >= 8) {
        const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i *>(from));
        const __m128i latin1 = _mm_cmpeq_epi16(_mm_and_si128(units, highByte), _mm_setzero_si128());
        const __m128i lineBreak =
            _mm_or_si128(_mm_cmpeq_epi16(units, lineFeed), _mm_cmpeq_epi16(units, carriageReturn));
        if (_mm_movemask_epi8(_mm_andnot_si128(lineBreak, latin1)) != 0xffff)
            break;
        _mm_storel_epi64(reinterpret_cast<__m128i *>(to), _mm_packus_epi16(units, units));
        to += 8;
        from += 8;
    }
    return from;
}
#else
const char16_t *copyPlainRun(const char16_t *from, const char16_t *, char *&)
{
    return from;
}
#endif

} // namespace

void encodeLine(QByteArray &out, const QStringView *first, const QStringView *last)
{
    qsizetype size = 1;
    for (const QStringView *part = first; part != last; ++part)
        size += part->size();
    out.resize(size);
    char *to = out.data();
    bool pairStarted = false;
    for (const QStringView *part = first; part != last; ++part) {
        const char16_t *from = part->utf16();
        const char16_t *const end = from + part->size();
        if (pairStarted && from != end && QChar::isLowSurrogate(*from))
            ++from;
        pairStarted = false;
        while (from != end) {
            from = copyPlainRun(from, end, to);
            if (from == end)
                break;
            const char16_t u = *from++;
            if (Q_LIKELY(u < 0x100 && u != u'\n' && u != u'\r')) {
                *to++ = char(u);
            } else if (u < 0x100) {
                *to++ = ' ';
            } else {
                *to++ = '?';
                if (QChar::isHighSurrogate(u)) {
                    if (from == end)
                        pairStarted = true;
                    else if (QChar::isLowSurrogate(*from))
                        ++from;
                }
            }
        }
    }
    *to++ = '\n';
    out.truncate(to - out.constData());
}
