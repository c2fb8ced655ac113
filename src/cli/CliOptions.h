// Option parsing and data-folder selection shared by the inspector's verbs.
#pragma once

#include <QStringList>
#include <QVariantMap>

// Splits "--name value" options from the positional arguments; false on an
// option without a value or one not in `known`.
bool splitOptions(
    const QStringList &args, const QStringList &known, QStringList *positional, QVariantMap *options);

// Points HOME and the XDG data and config folders at `home`, so that the
// data folder and the library store are the ones under it.
bool useHome(const QString &home);
