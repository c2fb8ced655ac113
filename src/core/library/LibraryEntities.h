// Every entity of the library store.
#pragma once

#include "UserInfo.h"
#include "BookMetaData.h"
#include "BookStatusData.h"
#include "LabelMaster.h"
#include "BookLabelLink.h"
#include "BookHighlightMemo.h"
#include "CacheInfo.h"
#include "AccessBookLog.h"
#include "AccessPageLog.h"
#include "DictionaryMaster.h"
#include "DictionarySettingItem.h"
