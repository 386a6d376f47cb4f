// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's date-times as Qt dates.
#include "common/DateTimeUnit.h"

#include <QDate>

inline QDate ToQDate(TDateTime value) {
  const TDateTimeParts parts = DecodeDateTime(value);
  return QDate(parts.Year, parts.Month, parts.Day);
}

inline TDateTime FromQDate(const QDate& date) {
  return EncodeDateTime({date.year(), date.month(), date.day(), 0, 0, 0});
}
