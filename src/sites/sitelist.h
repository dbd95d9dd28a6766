#pragma once
// TSiteList: the user's stored sites, held by the main window for the whole run.
//
// SiteTable(k) is record k, numbered 1 to 255; SiteCount() records are in use
// and the ones above carry no meaning. The file "Naslovi.kvs" in the program
// directory (ProgramDirectory()) holds records 1..SiteCount one after another,
// 936 bytes each, with no header.
//
// OpenSiteList: called once per run at the main window's first activation.
// Reads the whole records of the file, at most 255 (a shorter remainder and any
// record beyond the 255th are ignored). A missing or unreadable file gives an
// empty list; nothing is reported. The site manager then lists SiteTable(1..SiteCount).
// Choice (so that no stored site is ever lost): a file that exists but could
// not be read whole (no permission, a read error, not a regular file, more
// than 255 records) is not overwritten by the next WriteSiteList: it is first
// renamed to "Naslovi.kvs.bak" (a failure to do so throws EInOutError and
// writes nothing).
//
// WriteSiteList: called at the main window's destruction when SitesModified()
// is set. Writes records 1..SiteCount (SiteCount 0 gives an empty file) into a
// temporary file beside "Naslovi.kvs" and renames it over the old one, creating
// the program directory when needed; the old file keeps its permissions, a new
// one is readable by the user only (it holds passwords). On any failure the
// temporary file is removed, the old file is left as it was, and EInOutError is
// thrown ("I/O error 28: No space left on device").
//
// AddSite, DeleteSite and SetSitesModified are for the site manager; an edit of
// a record through SiteTable(k) must set SitesModified itself.
#include "sites/siterecord.h"

#include <QString>

#include <vector>

class TSiteList {
public:
    static constexpr int MaxSites = 255;

    TSiteList();

    // Record k, 1 <= k <= 255; another k throws std::out_of_range.
    TSiteRecord& SiteTable(int k) { return m_table.at(std::size_t(k - 1)); }
    const TSiteRecord& SiteTable(int k) const { return m_table.at(std::size_t(k - 1)); }
    int SiteCount() const { return m_count; }

    bool SitesModified() const { return m_modified; }
    void SetSitesModified(bool modified) { m_modified = modified; }

    // Stores the record as number SiteCount + 1 and sets SitesModified; returns
    // its number, or 0 (nothing changed) when all 255 records are in use.
    int AddSite(const TSiteRecord& record);

    // Moves records k + 1..SiteCount one place down, lowers SiteCount and sets
    // SitesModified. A k outside 1..SiteCount changes nothing.
    void DeleteSite(int k);

    void OpenSiteList();
    void WriteSiteList();

    // The site list file: ProgramFilePath("Naslovi.kvs").
    static QString FilePath();

private:
    std::vector<TSiteRecord> m_table;
    int m_count = 0;
    bool m_modified = false;
    bool m_fileNotReadWhole = false; // the file holds more than the list: keep a copy before writing
};
