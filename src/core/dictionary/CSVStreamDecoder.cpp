#include "CSVStreamDecoder.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>

const char *icuNameOf(CSVEncoding encoding)
{
    switch (encoding) {
    case CSVEncoding::UTF16BE:
        return "UTF-16BE";
    case CSVEncoding::UTF16LE:
        return "UTF-16LE";
    case CSVEncoding::UTF32BE:
        return "UTF-32BE";
    case CSVEncoding::UTF32LE:
        return "UTF-32LE";
    case CSVEncoding::ISO2022KR:
        return "ISO-2022-KR";
    case CSVEncoding::MacOSRoman:
        return "macintosh";
    case CSVEncoding::Unknown:
    case CSVEncoding::UTF8:
        break;
    }
    return "UTF-8";
}

CSVStreamDecoder::CSVStreamDecoder(CSVEncoding encoding)
{
    UErrorCode status = U_ZERO_ERROR;
    m_converter = ucnv_open(icuNameOf(encoding), &status);
    if (U_FAILURE(status)) {
        m_converter = nullptr;
        m_stuck = true;
        return;
    }
    // Stop at the first undecodable byte instead of substituting U+FFFD.
    ucnv_setToUCallBack(m_converter, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
}

CSVStreamDecoder::~CSVStreamDecoder()
{
    if (m_converter)
        ucnv_close(m_converter);
}

bool CSVStreamDecoder::decode(QByteArray &buffer, QString &out)
{
    if (m_stuck || buffer.isEmpty())
        return !m_stuck;
    const char *source = buffer.constData();
    const char *sourceEnd = source + buffer.size();
    // Every encoding here yields at most one UTF-16 unit per byte, plus what
    // the converter held back from the previous call.
    const qsizetype start = out.size();
    out.resize(start + buffer.size() + 4);
    auto *target = reinterpret_cast<UChar *>(out.data() + start);
    auto *targetEnd = reinterpret_cast<UChar *>(out.data() + out.size());
    UErrorCode status = U_ZERO_ERROR;
    ucnv_toUnicode(m_converter, &target, targetEnd, &source, sourceEnd, nullptr, false, &status);
    out.resize(target - reinterpret_cast<UChar *>(out.data()));
    if (U_FAILURE(status)) {
        // The bytes before the bad sequence were decoded; the sequence itself
        // and everything after it stay where they are.
        char bad[32];
        int8_t badLength = sizeof bad;
        UErrorCode ignored = U_ZERO_ERROR;
        ucnv_getInvalidChars(m_converter, bad, &badLength, &ignored);
        buffer.remove(0, (source - buffer.constData()) - badLength);
        m_stuck = true;
        return false;
    }
    buffer.clear();
    return true;
}

bool CSVStreamDecoder::isValidUtf8(const char *bytes, qsizetype size)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes);
    const auto *end = p + size;
    while (p < end) {
        const unsigned char c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        int extra;
        char32_t cp;
        if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (end - p <= extra)
            return false;
        for (int i = 1; i <= extra; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (p[i] & 0x3F);
        }
        if ((extra == 2 && cp < 0x800) || (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF))
            || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        p += extra + 1;
    }
    return true;
}
