#include "Logging.h"

Q_LOGGING_CATEGORY(lcApp, "tavro.app")
Q_LOGGING_CATEGORY(lcLibrary, "tavro.library")
Q_LOGGING_CATEGORY(lcContent, "tavro.content")
Q_LOGGING_CATEGORY(lcDictionary, "tavro.dictionary")
Q_LOGGING_CATEGORY(lcStore, "tavro.store")
Q_LOGGING_CATEGORY(lcSync, "tavro.sync")
Q_LOGGING_CATEGORY(lcTop, "tavro.top")
