#pragma once

// The search box's drop-down list and the history file "search.csv" beside the executable.
//
// The list holds every query ever recorded, kept in alphabetical order without regard to
// letter case by the locale's collation. The file only grows: one line "<short date>;<query>"
// with CR LF per new query, in the ANSI code page, or in UTF-8 when the page lacks one of
// its characters. At start the file fills the list again; each line gives the text after
// its first ";" (further leading ";" dropped), or the whole line when it has none. Each
// entry is read as UTF-8 when it is valid UTF-8 with non-ASCII bytes (written so by the
// program, or by today's editors), else in the ANSI code page, so files that mix both
// still read right line by line. File errors are never reported: the list still works for
// this run.

#include <QCollator>
#include <QLocale>
#include <QString>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class Clock;

class SearchHistory {
  public:
    static constexpr std::string_view kFileName = "search.csv";

    // The longest text the search box accepts (its line edit's limit). A longer line in the
    // file was never typed there; it is left out of the list, because a drop-down list
    // freezes for seconds over a text of megabytes. The file itself is never changed.
    static constexpr qsizetype kMaxEntryLength = 32767;

    // programFolder: the executable's folder as a file-system path (bytes); the locale gives
    // the collation and the short date format; codePage is the page the file is written in.
    SearchHistory(const std::string& programFolder, const Clock& clock, const QLocale& locale,
                  int codePage);

    // Empties the list, then fills it from the history file; creates the file empty when it
    // is missing. An unreadable file leaves the list empty without a word.
    void Load();

    // The entries in display order.
    const std::vector<QString>& Entries() const { return entries_; }

    // True when an entry equals text without regard to letter case.
    bool Contains(const QString& text) const;

    // Adds the query unless Contains() finds it, and appends its line to the file. Returns
    // the position where it joined the list, or nothing when it was already there. The
    // query joins the list even when the file cannot be written.
    std::optional<std::size_t> Record(const QString& query);

    // "<folder>/search.csv".
    const std::string& Path() const { return path_; }

    // The line written for a query recorded on the given date text, CR LF included, in the
    // page or, where the page lacks a character, in UTF-8. Line breaks and Ctrl+Z inside
    // the query would split the record or end the file for the reader, so they are written
    // as spaces.
    static std::string HistoryLine(const QString& date, const QString& query, int codePage);

    // The list's one order, by which it is sorted and searched: < 0, 0, > 0 like a
    // collation; equal means equal without regard to letter case.
    int Compare(const QString& a, const QString& b) const;

  private:
    // The collation key of the case-folded text: Compare() is the order of these keys.
    QCollatorSortKey KeyOf(const QString& text) const;
    // The first of keys_ that is not before `key`.
    std::vector<QCollatorSortKey>::const_iterator FirstNotBefore(const QCollatorSortKey& key) const;

    std::string path_;
    const Clock& clock_;
    QLocale locale_;
    int codePage_;
    QCollator collator_;
    std::vector<QString> entries_;
    std::vector<QCollatorSortKey> keys_;  // KeyOf() of each entry, in the same order
};
