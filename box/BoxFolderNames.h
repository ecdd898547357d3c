// The names of the entries a BoxFolderGuard kept where they are in one
// operation, gathered for the one message the user hears about them.
#pragma once

#include <string>

#include "app/FolderRelation.h"

class BoxFolderNames
{
public:
    // Adds the file name of path (a root or a name ending in a separator by
    // its path), once, unless relation is Unrelated.
    void Add(const std::wstring& path, FolderRelation relation);
    bool Empty() const { return m_sure.empty() && m_unsure.empty() && m_roots.empty() && m_own.empty(); }
    // What stayed and why; doing names the action ("删除它们").
    std::wstring Text(const std::wstring& doing) const;

private:
    std::wstring m_sure, m_unsure, m_roots, m_own;
};
