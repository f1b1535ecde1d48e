#include "search/StatisticsLine.h"

#include <cmath>

namespace {

constexpr int kPrecision = 8;

int integerDigits(double value)
{
    const double whole = std::floor(std::fabs(value));
    return whole < 1.0 ? 1 : int(std::floor(std::log10(whole))) + 1;
}

} // namespace

QString formatStatisticNumber(double value, int decimals, const QLocale &locale)
{
    int digits = integerDigits(value);
    if (digits > kPrecision) return locale.toString(value, 'E', kPrecision - 1);
    // Eight significant digits: decimals beyond them come out as zeros.
    const int kept = std::min(decimals, kPrecision - digits);
    const double scale = std::pow(10.0, kept);
    const double rounded = std::round(value * scale) / scale;
    digits = integerDigits(rounded);
    if (digits > kPrecision) return locale.toString(rounded, 'E', kPrecision - 1);
    return locale.toString(rounded, 'f', decimals);
}

QString statisticsTimeText(double seconds, std::uint32_t bytes, const QLocale &locale)
{
    return formatStatisticNumber(seconds, 1, locale) + QStringLiteral(" sec. - ") +
           formatStatisticNumber(double(bytes), 0, locale) + QStringLiteral(" bytes searched.");
}

QString statisticsCountText(std::int32_t keys, std::int32_t values)
{
    return QString::number(keys) + QStringLiteral(" Keys - ") + QString::number(values) +
           QStringLiteral(" Values");
}
