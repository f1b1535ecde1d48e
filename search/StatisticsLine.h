// The two texts a search run leaves in the status lines when it ends.
#pragma once

#include <QLocale>
#include <QString>

#include <cstdint>

// A number with group separators and `decimals` decimals in `locale`, rounded to
// eight significant digits; exponent form when its integer part has more than
// eight digits.
QString formatStatisticNumber(double value, int decimals, const QLocale &locale);

// "12,3 sec. - 45.678.901 bytes searched." (German locale).
QString statisticsTimeText(double seconds, std::uint32_t bytes, const QLocale &locale);

// "812 Keys - 947 Values", plain integers.
QString statisticsCountText(std::int32_t keys, std::int32_t values);
