// The encodings the CSV reader sniffs and decodes (ICU converters).
#pragma once

enum class CSVEncoding {
    Unknown = 0, // sniff from the first bytes
    UTF8,
    UTF16BE,
    UTF16LE,
    UTF32BE,
    UTF32LE,
    ISO2022KR,
    MacOSRoman,
};

// The ICU converter name of an encoding ("UTF-8", "macintosh", ...).
const char *icuNameOf(CSVEncoding encoding);
