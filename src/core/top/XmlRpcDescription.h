// A parsed XML-RPC value with the type of every scalar spelled out, for
// scripts and tests: {"int": 5}, {"double": 1.5}, {"string": "x"},
// {"boolean": true}, {"date": "2026-12-09T12:00:00"} ({"date": null} when
// unparsable), {"base64": "..."}, {"struct": {...}}, {"array": [...]}.
// Pure; any thread.
#pragma once

#include <QVariant>

// The description of `value`; invalid when `value` nests maps and lists
// deeper than XmlRpcResponseParser::kMaxDepth (which the parser never
// gives), so the walk stays within a bounded depth.
QVariant describeXmlRpcValue(const QVariant &value);
