#pragma once

#include <QDateTime>

// The histories store dates as seconds since 2001-01-01 00:00:00 UTC (a double); the
// favorites store their added-at times as seconds since 1970-01-01 00:00:00 UTC.
double secondsSince2001(const QDateTime& date);
QDateTime dateFromSecondsSince2001(double seconds);
double secondsSince1970(const QDateTime& date);
QDateTime dateFromSecondsSince1970(double seconds);

// The earliest representable date, for items whose date is unknown.
QDateTime distantPast();
