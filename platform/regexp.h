// Regular-expression object over GBK texts: the platform object's dialect and properties, matched by PCRE2 on UTF-16.
#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The result of one Execute: the matches in order, each with its text (Value), the character
// index where it starts (FirstIndex) and its capture groups (SubMatches). Texts are slices of
// the original GBK subject, so bytes that are not valid GBK come back unchanged.
struct RegexpMatches {
    // Number of matches (Count).
    std::size_t count() const { return spans_.size() / stride(); }
    // Number of capture groups of every match (the Count of SubMatches).
    std::size_t submatch_count() const { return group_count_; }

    // The match text (Value); "" for an index past the end.
    std::string value(std::size_t match) const;
    // 0-based index of the first character of the match (FirstIndex, in UTF-16 units).
    std::size_t first_index(std::size_t match) const;
    // Byte offset of the match in the GBK subject.
    std::size_t byte_offset(std::size_t match) const;
    // Text of capture group `group` (0-based); "" for a group that took no part or does not exist.
    std::string submatch(std::size_t match, std::size_t group) const;
    // Byte offset of a capture group in the GBK subject; nullopt when it took no part or does not exist.
    std::optional<std::size_t> submatch_byte_offset(std::size_t match, std::size_t group) const;

private:
    friend class RegexpObject;
    static constexpr std::size_t unset = static_cast<std::size_t>(-1);
    // Per match: first index, then [begin, end) byte pairs for the match and for each group.
    std::size_t stride() const { return 3 + 2 * group_count_; }
    const std::size_t* span(std::size_t match) const { return &spans_[match * stride()]; }

    std::string subject_;
    std::size_t group_count_ = 0;
    std::vector<std::size_t> spans_;
};

// One pattern with its options. Properties may be set in any order; the pattern is compiled by
// the first Execute or Replace after a change. A pattern the dialect rejects makes Execute and
// Replace fail. A search that would run away (deep backtracking, huge memory, or more than
// a fraction of a second over a large subject) fails the same way.
// A new object is case-sensitive, single-line, first-match-only, with an empty pattern.
class RegexpObject {
public:
    RegexpObject();
    ~RegexpObject();
    RegexpObject(const RegexpObject&) = delete;
    RegexpObject& operator=(const RegexpObject&) = delete;

    bool ignore_case() const { return ignore_case_; }
    void set_ignore_case(bool on);
    // ^ and $ also match at line breaks ("\n" or "\r").
    bool multiline() const { return multiline_; }
    void set_multiline(bool on);
    // Every match rather than the first only.
    bool global() const { return global_; }
    void set_global(bool on);
    // The pattern as GBK text.
    const std::string& pattern() const { return pattern_; }
    void set_pattern(std::string_view gbk_pattern);

    // Runs the pattern over a GBK subject; nullptr when the pattern is rejected or the search
    // ran into a limit. After an empty match the next attempt starts one character later.
    std::shared_ptr<const RegexpMatches> execute(std::string_view gbk_subject) const;

    // The subject with the matches (all under Global, else the first) replaced by the expanded
    // replacement: $1..$99 groups, $$ a dollar, $& the match, $` the text before it, $' the text
    // after it. nullopt when execute would fail.
    std::optional<std::string> replace(std::string_view gbk_subject, std::string_view gbk_replacement) const;

private:
    struct Compiled;
    std::shared_ptr<const Compiled> compiled() const;
    void invalidate();

    bool ignore_case_ = false;
    bool multiline_ = false;
    bool global_ = false;
    std::string pattern_;

    mutable std::mutex cache_mutex_;
    mutable std::shared_ptr<const Compiled> cache_;
    mutable bool cache_valid_ = false;
};
