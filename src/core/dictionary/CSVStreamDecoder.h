// Decodes bytes incrementally with an ICU converter: each call appends what
// the bytes so far decode to and keeps an incomplete character for the next
// call. After bytes that cannot be decoded it is stuck: nothing after them is
// ever decoded (they stay in the caller's buffer).
//
// One thread at a time.
#pragma once

#include "CSVEncoding.h"

#include <QByteArray>
#include <QString>

struct UConverter;

class CSVStreamDecoder
{
public:
    explicit CSVStreamDecoder(CSVEncoding encoding);
    ~CSVStreamDecoder();
    CSVStreamDecoder(const CSVStreamDecoder &) = delete;
    CSVStreamDecoder &operator=(const CSVStreamDecoder &) = delete;

    // Decodes the longest decodable prefix of `buffer`, appends it to `out`
    // and removes the bytes it used from `buffer`. Returns false when nothing
    // more can ever be decoded (undecodable bytes, or no converter).
    bool decode(QByteArray &buffer, QString &out);
    bool stuck() const { return m_stuck; }

    // Whether `bytes` are entirely valid UTF-8.
    static bool isValidUtf8(const char *bytes, qsizetype size);

private:
    UConverter *m_converter = nullptr;
    bool m_stuck = false;
};
