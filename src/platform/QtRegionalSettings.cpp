#include "platform/QtRegionalSettings.h"

#include <QDate>
#include <QLocale>
#include <QRegularExpression>
#include <QString>
#include <QTime>

namespace {
// The characters between the hour and the minute of the short time form.
QString TimeSeparatorOf(const QString& timeFormat) {
  const qsizetype hour = timeFormat.indexOf(QLatin1Char('h'), 0, Qt::CaseInsensitive);
  if (hour < 0)
    return QStringLiteral(":");
  qsizetype i = hour;
  while (i < timeFormat.size() && timeFormat[i].toLower() == QLatin1Char('h'))
    ++i;
  QString separator;
  while (i < timeFormat.size() && timeFormat[i] != QLatin1Char('m'))
    separator += timeFormat[i++];
  return separator.isEmpty() ? QStringLiteral(":") : separator;
}
} // namespace

TRegionalSettings SystemRegionalSettings() {
  const QLocale locale = QLocale::system();
  TRegionalSettings settings;
  settings.DecimalSeparator = locale.decimalPoint().toStdString();
  settings.ThousandSeparator = locale.groupSeparator().toStdString();
  const QString timeFormat = locale.timeFormat(QLocale::ShortFormat);
  settings.TimeSeparator = TimeSeparatorOf(timeFormat).toStdString();
  settings.ShortDateFormat = locale.dateFormat(QLocale::ShortFormat).toStdString();
  settings.ShortTimeFormat = timeFormat.toStdString();
  return settings;
}

std::string QtShortDateText(TDateTime value) {
  const TDateTimeParts p = DecodeDateTime(value);
  return QLocale::system()
      .toString(QDate(p.Year, p.Month, p.Day), QLocale::ShortFormat)
      .toStdString();
}

std::string QtShortTimeText(TDateTime value) {
  const TDateTimeParts p = DecodeDateTime(value);
  // Hours and minutes only, whatever the locale's short form holds.
  QString format = QLocale::system().timeFormat(QLocale::ShortFormat);
  format.remove(QRegularExpression(QStringLiteral("[^hHmaApP ]?s+")));
  return QLocale::system().toString(QTime(p.Hour, p.Minute), format).toStdString();
}
