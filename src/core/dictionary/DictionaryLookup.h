// What a look-up of a selection found: the rows of the first form that has
// entries, and that form.
#pragma once

#include "LookupForms.h"

#include <QList>
#include <QVariantMap>

struct DictionaryLookup {
    // Rows as DictionaryManager::doSearchStr() gives them; empty when no
    // form has an entry.
    QList<QVariantMap> rows;
    // The form that matched (empty when none did) and its rule.
    LookupForm form;
    // The selection as it was given.
    QString selection;

    bool found() const { return !rows.isEmpty(); }
};
