#include "registry/source/ChangeUnit.h"

#ifndef _WIN32
#include "registry/source/RegistryFiles.h"
#endif

namespace quarnel::platform {

ChangeUnit::ChangeUnit(const std::string &description, const std::string &undoFile,
                       const std::string &record)
{
#ifndef _WIN32
    beginChangeUnit(description, undoFile, record);
#else
    (void)description, (void)undoFile, (void)record;
#endif
}

ChangeUnit::~ChangeUnit()
{
    if (m_open) end(false);
}

bool ChangeUnit::commit()
{
    if (m_open) end(true);
    return m_kept;
}

void ChangeUnit::abandon()
{
    if (m_open) end(false);
}

void ChangeUnit::end(bool keep)
{
    m_open = false;
#ifndef _WIN32
    m_kept = endChangeUnit(keep, m_error);
#else
    m_kept = keep;
#endif
}

} // namespace quarnel::platform
