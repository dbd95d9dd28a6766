#include "ftp/remotelisting.h"

#include <stdexcept>

namespace {
TRemoteEntry parentEntry()
{
    TRemoteEntry parent;
    parent.name = QStringLiteral("..");
    parent.kind = ekParent;
    return parent;
}
} // namespace

TRemoteListing::TRemoteListing()
{
    m_entries.push_back(parentEntry());
}

void TRemoteListing::Clear()
{
    m_entries.clear();
    m_entries.push_back(parentEntry());
}

void TRemoteListing::Append(TRemoteEntry entry)
{
    m_entries.push_back(std::move(entry));
}

void TRemoteListing::SetName(int index, const QString& name)
{
    if (index <= 0 || index >= Count())
        throw std::out_of_range("TRemoteListing::SetName: no listed entry at this index");
    m_entries[std::size_t(index)].name = name;
}

bool IsSafeLocalName(const QString& name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QChar(0));
}
