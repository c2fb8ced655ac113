// The fuzz targets as plain functions, so that both the libFuzzer programs
// and the regression test over the kept corpus call the same code.
#pragma once

#include <cstddef>
#include <cstdint>

// XML2DicParser over arbitrary bytes.
int fuzzXml2Dic(const uint8_t *data, size_t size);
// XmlRpcResponseParser over arbitrary bytes, then the value described and
// written as JSON, as the inspector does.
int fuzzXmlRpc(const uint8_t *data, size_t size);
// The entry resolver and the package reader over arbitrary zip bytes.
int fuzzEpubZip(const uint8_t *data, size_t size);
// CSVParser over arbitrary bytes; the first byte picks the options and the
// delimiter.
int fuzzCsv(const uint8_t *data, size_t size);
// The package unpacker over arbitrary bytes; aborts when anything is
// written outside the package folder.
int fuzzPackage(const uint8_t *data, size_t size);
// A PDF book's ".toc" file over arbitrary bytes: its rows, the row of a few
// pages and the rows written as JSON.
int fuzzPdfToc(const uint8_t *data, size_t size);
// A PDF from disk as the program takes it: checked in the helper process
// (which may crash or be stopped at its budget without harm here), then its
// outline rows, the row of a few pages and the rows as JSON; the bytes are
// also read back as a helper's report.
int fuzzPdfOutline(const uint8_t *data, size_t size);
// The dictionary sources over arbitrary files: the first byte picks dictd
// (bit 2 clear) or StarDict (set) and compressed data (bit 1); the rest is
// cut into the files (index and data; or .ifo, .idx, data and .syn) at
// each line "@@". Every record is read.
int fuzzDictSource(const uint8_t *data, size_t size);
// A selection as the reader hands it to the dictionary: arbitrary bytes as
// UTF-8 (first byte even) or UTF-16 (odd), through every look-up form,
// the Japanese dictionary forms included.
int fuzzLookupForms(const uint8_t *data, size_t size);
