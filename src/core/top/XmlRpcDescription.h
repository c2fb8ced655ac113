// A parsed XML-RPC value with the type of every scalar spelled out, for
// scripts and tests: {"int": 5}, {"double": 1.5}, {"string": "x"},
// {"boolean": true}, {"date": "2026-12-09T12:00:00"} ({"date": null} when
// unparsable), {"base64": "..."}, {"struct": {...}}, {"array": [...]}.
// Pure; any thread.
#pragma once

#include <QVariant>

QVariant describeXmlRpcValue(const QVariant &value);
