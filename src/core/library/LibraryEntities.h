// Every entity of the library store.
#pragma once

#include "AccessBookLog.h"
#include "AccessPageLog.h"
#include "BookHighlightMemo.h"
#include "BookLabelLink.h"
#include "BookMetaData.h"
#include "BookStatusData.h"
#include "CacheInfo.h"
#include "DictionaryMaster.h"
#include "DictionarySettingItem.h"
#include "LabelMaster.h"
#include "UserInfo.h"
