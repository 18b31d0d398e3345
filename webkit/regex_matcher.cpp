// RegexMatcher: keeps the expression object, match list and subject of the last search and hands out copies.
#include "webkit/regex_matcher.h"

#include "platform/com.h"
#include "platform/regexp.h"
#include "webkit/header_text.h"
#include "webkit/text.h"

RegexMatcher::RegexMatcher() { com_init(); }

// The copy is a matcher of its own and is destroyed on its own, so it takes its own share of
// the thread's initialisation; the results stay shared until either side searches again.
RegexMatcher::RegexMatcher(const RegexMatcher& other)
    : expression_(other.expression_), matches_(other.matches_), subject_(other.subject_) {
    com_init();
}

RegexMatcher::~RegexMatcher() {
    expression_.reset();
    matches_.reset();
    subject_.clear();
    com_uninit();
}

bool RegexMatcher::search(std::string_view pattern, std::string_view subject, bool case_sensitive, bool multi_line,
                          bool global, bool quote_marker_option) {
    expression_.reset();
    matches_.reset();
    auto expression = std::make_shared<RegexpObject>();
    expression->set_ignore_case(!case_sensitive);
    expression->set_multiline(multi_line);
    expression->set_global(global);
    expression->set_pattern(quote_marker_option ? replace_all(pattern, quote_marker, "\"") : std::string(pattern));
    expression_ = expression;
    subject_.assign(subject);
    matches_ = expression_->execute(subject_);
    return matches_ != nullptr;
}

std::string RegexMatcher::pattern_text() const { return expression_ ? expression_->pattern() : std::string(); }

std::string RegexMatcher::replace(std::string_view replacement) const {
    if (!expression_) return "";
    return expression_->replace(subject_, replacement).value_or("");
}

int RegexMatcher::match_count() const { return matches_ ? static_cast<int>(matches_->count()) : 0; }

// Positions are the exact byte offsets the match list recorded while matching, so a text that
// also occurs earlier in the subject is never mistaken for the one handed out. -1 when there
// is no such match or the group took no part.
std::string RegexMatcher::match_text(int match_index, int* position) const {
    if (position) *position = -1;
    if (match_index < 1 || match_index > match_count()) return "";
    auto item = static_cast<std::size_t>(match_index - 1);
    if (position) *position = static_cast<int>(matches_->byte_offset(item));
    return matches_->value(item);
}

std::string RegexMatcher::submatch_text(int match_index, int group_index, int* position) const {
    if (position) *position = -1;
    if (match_index < 1 || match_index > match_count() || group_index < 1 || group_index > submatch_count()) return "";
    auto item = static_cast<std::size_t>(match_index - 1);
    auto group = static_cast<std::size_t>(group_index - 1);
    if (position) {
        if (auto at = matches_->submatch_byte_offset(item, group)) *position = static_cast<int>(*at);
    }
    return matches_->submatch(item, group);
}

int RegexMatcher::submatch_count() const {
    return match_count() > 0 ? static_cast<int>(matches_->submatch_count()) : 0;
}
