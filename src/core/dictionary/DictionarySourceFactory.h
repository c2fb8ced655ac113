// Chooses how to read a dictionary file from its content, not its name: a
// StarDict ".ifo" by its first line, a dictd index by the shape of its
// first line, and a CSV file otherwise (also for a file that cannot be
// read: the CSV source then says why). A data file or index the user picked
// instead of the ".ifo" or ".index" (gzip or not, e.g. "NAME.dict.dz",
// "NAME.idx") leads to the dictionary beside it when there is one. An
// EPWING book goes by its fixed file names instead: its CATALOGS file, its
// folder or a subbook's HONMON file (EpwingDictionarySource::bookFolder()).
//
// A new format is a DictionarySource subclass in its own file and one
// content test in byContent(). Any thread.
#pragma once

#include "DictionarySource.h"

#include <QString>
#include <memory>

class DictionarySourceFactory
{
public:
    // A source for the dictionary at `path`, not yet opened; never null.
    static std::unique_ptr<DictionarySource> create(const QString &path);
};
