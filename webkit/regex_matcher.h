// RegexMatcher: one pattern over one GBK subject, matches and capture groups by 1-based index.
#pragma once

#include <memory>
#include <string>
#include <string_view>

class RegexpObject;  // platform/regexp.h
struct RegexpMatches;

class RegexMatcher {
public:
    RegexMatcher();                        // com_init on this thread
    RegexMatcher(const RegexMatcher& other);  // shares the results, copies the subject
    RegexMatcher& operator=(const RegexMatcher&) = delete;
    virtual ~RegexMatcher();               // com_uninit once

    virtual bool search(std::string_view pattern, std::string_view subject, bool case_sensitive = false,
                        bool multi_line = true, bool global = true, bool quote_marker = false);
    virtual std::string pattern_text() const;
    virtual std::string replace(std::string_view replacement) const;
    virtual int match_count() const;
    // position, when given, receives the 0-based byte offset in the GBK subject.
    virtual std::string match_text(int match_index, int* position = nullptr) const;
    virtual std::string submatch_text(int match_index, int group_index, int* position = nullptr) const;
    virtual int submatch_count() const;

private:
    std::shared_ptr<RegexpObject> expression_;
    std::shared_ptr<const RegexpMatches> matches_;
    std::string subject_;
};
