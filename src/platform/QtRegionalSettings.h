#pragma once
// The user's regional forms, as Qt's system locale knows them.
#include "platform/Host.h"

TRegionalSettings SystemRegionalSettings();
