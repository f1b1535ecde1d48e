// Registry text (UTF-8 bytes) as the widgets' text: converted here and nowhere else.
#pragma once

#include <QString>
#include <string_view>

inline QString toQt(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
