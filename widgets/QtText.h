// Registry text (UTF-8 bytes) to and from the widgets' text: converted here and
// nowhere else.
#pragma once

#include <QString>
#include <string>
#include <string_view>

inline QString toQt(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string fromQt(const QString &text)
{
    return text.toStdString();
}
