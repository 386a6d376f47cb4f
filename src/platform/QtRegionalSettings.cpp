#include "platform/QtRegionalSettings.h"

#include <QLocale>
#include <QString>

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
