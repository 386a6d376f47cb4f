#pragma once
// The user's regional forms, as Qt's system locale knows them.
#include "common/Host.h"

TRegionalSettings SystemRegionalSettings();

// A date in the locale's short form, a time as hours and minutes in its short form.
std::string QtShortDateText(TDateTime value);
std::string QtShortTimeText(TDateTime value);
