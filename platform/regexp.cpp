// Regular-expression object: dialect translation to PCRE2, the global match loop, limits and replacement.
#define PCRE2_CODE_UNIT_WIDTH 16
#include "platform/regexp.h"

#include <pcre2.h>

#include <chrono>
#include <cstdint>

#include "platform/codepage.h"

namespace {

// Per start position PCRE2 stops after this many backtracking steps, this nesting depth and
// this much frame memory (KiB); the time budget bounds the sum over all start positions.
constexpr uint32_t match_limit = 1'000'000;
constexpr uint32_t depth_limit = 100'000;
constexpr uint32_t heap_limit_kib = 64 * 1024;
// Whole-search budget: the limits above bound one start position, this bounds their sum (an
// attempt per position that scans to the end of a long line adds up to minutes over 1 MB).
constexpr std::chrono::milliseconds time_budget{500};

bool is_ascii_letter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }
bool is_digit(char16_t c) { return c >= u'0' && c <= u'9'; }

// Escapes the dialect knows; any other escaped letter stands for the letter itself
// (PCRE2 would give many of them a meaning of its own, such as \Q, \A, \h or \K).
bool known_escape(char16_t c, bool in_class) {
    switch (c) {
    case u'd': case u'D': case u'w': case u'W': case u's': case u'S':
    case u'f': case u'n': case u'r': case u't': case u'x': case u'u': case u'c': case u'b':
        return true;
    case u'B':
        return !in_class;
    default:
        return false;
    }
}

// Copies the escape at p[i] (a backslash with at least one character after it) into out.
void translate_escape(std::u16string_view p, size_t i, bool in_class, std::u16string& out) {
    char16_t n = p[i + 1];
    if (n == u'v') {
        out += u"\\x0b";  // a vertical tab, not PCRE2's class of vertical spaces
    } else if (is_ascii_letter(n) && !known_escape(n, in_class)) {
        out += n;
    } else {
        out += u'\\';
        out += n;
    }
}

// Length of a counted quantifier "{n}", "{n,}" or "{n,m}" at p[i], 0 when there is none.
size_t counted_quantifier(std::u16string_view p, size_t i) {
    size_t j = i + 1;
    size_t digits = 0;
    while (j < p.size() && is_digit(p[j])) ++j, ++digits;
    if (digits == 0) return 0;
    if (j < p.size() && p[j] == u',') {
        ++j;
        while (j < p.size() && is_digit(p[j])) ++j;
    }
    if (j < p.size() && p[j] == u'}') return j + 1 - i;
    return 0;
}

// Turns a pattern of the platform dialect into PCRE2 syntax, or nothing when the dialect
// rejects it. ^ and $ become assertions with the platform's line boundaries ("\n" or "\r",
// so "a\r\nb" has a line start between the two), brackets inside classes are literal, and
// PCRE2-only syntax ("(?<", "(?i)", "(*VERB)", possessive quantifiers) is refused. The whole
// is wrapped behind a callout that runs at every start position, where the time budget is kept.
std::optional<std::u16string> translate(std::u16string_view p, bool multiline) {
    std::u16string out = u"(?C)(?:";
    int depth = 0;
    bool in_class = false;
    size_t i = 0;
    while (i < p.size()) {
        char16_t c = p[i];
        if (c == u'\\') {
            if (i + 1 >= p.size()) return std::nullopt;
            translate_escape(p, i, in_class, out);
            i += 2;
            continue;
        }
        if (in_class) {
            if (c == u']') in_class = false;
            if (c == u'[') out += u'\\';
            out += c;
            ++i;
            continue;
        }
        size_t quantifier = 0;
        switch (c) {
        case u'[':
            out += c;
            ++i;
            if (i < p.size() && p[i] == u'^') out += p[i++];
            if (i < p.size() && p[i] == u']') out += p[i++];  // "[]" and "[^]" end at once
            else in_class = true;
            continue;
        case u'(':
            if (i + 1 < p.size() && p[i + 1] == u'*') return std::nullopt;
            if (i + 1 < p.size() && p[i + 1] == u'?') {
                if (i + 2 >= p.size()) return std::nullopt;
                char16_t kind = p[i + 2];
                if (kind != u':' && kind != u'=' && kind != u'!') return std::nullopt;
            }
            ++depth;
            break;
        case u')':
            if (--depth < 0) return std::nullopt;
            break;
        case u'^':
            out += multiline ? u"(?<![^\\n\\r])" : u"^";
            ++i;
            continue;
        case u'$':
            out += multiline ? u"(?![^\\n\\r])" : u"\\z";
            ++i;
            continue;
        case u'*': case u'+': case u'?':
            quantifier = 1;
            break;
        case u'{':
            quantifier = counted_quantifier(p, i);
            break;
        default:
            break;
        }
        if (quantifier > 0) {
            out.append(p.substr(i, quantifier));
            i += quantifier;
            if (i < p.size() && p[i] == u'?') out += p[i++];  // lazy
            if (i < p.size() && p[i] == u'+') return std::nullopt;  // possessive
            continue;
        }
        out += c;
        ++i;
    }
    if (in_class) return std::nullopt;
    out += u')';
    return out;
}

struct CodeDeleter {
    void operator()(pcre2_code* c) const { pcre2_code_free(c); }
};
struct MatchDataDeleter {
    void operator()(pcre2_match_data* d) const { pcre2_match_data_free(d); }
};
struct MatchContextDeleter {
    void operator()(pcre2_match_context* c) const { pcre2_match_context_free(c); }
};
struct CompileContextDeleter {
    void operator()(pcre2_compile_context* c) const { pcre2_compile_context_free(c); }
};

struct Deadline {
    std::chrono::steady_clock::time_point at;
    bool passed() const { return std::chrono::steady_clock::now() >= at; }
};

int check_deadline(pcre2_callout_block*, void* data) {
    return static_cast<Deadline*>(data)->passed() ? PCRE2_ERROR_CALLOUT : 0;
}

}  // namespace

struct RegexpObject::Compiled {
    std::unique_ptr<pcre2_code, CodeDeleter> code;
    std::size_t group_count = 0;
};

// ---- RegexpMatches ------------------------------------------------------------------------

std::string RegexpMatches::value(std::size_t match) const {
    if (match >= count()) return "";
    const std::size_t* s = span(match);
    return subject_.substr(s[1], s[2] - s[1]);
}

std::size_t RegexpMatches::first_index(std::size_t match) const {
    return match < count() ? span(match)[0] : 0;
}

std::size_t RegexpMatches::byte_offset(std::size_t match) const {
    return match < count() ? span(match)[1] : 0;
}

std::string RegexpMatches::submatch(std::size_t match, std::size_t group) const {
    auto at = submatch_byte_offset(match, group);
    if (!at) return "";
    const std::size_t* s = span(match) + 3 + 2 * group;
    return subject_.substr(s[0], s[1] - s[0]);
}

std::optional<std::size_t> RegexpMatches::submatch_byte_offset(std::size_t match, std::size_t group) const {
    if (match >= count() || group >= group_count_) return std::nullopt;
    const std::size_t* s = span(match) + 3 + 2 * group;
    if (s[0] == unset) return std::nullopt;
    return s[0];
}

// ---- RegexpObject -------------------------------------------------------------------------

RegexpObject::RegexpObject() = default;
RegexpObject::~RegexpObject() = default;

void RegexpObject::set_ignore_case(bool on) {
    ignore_case_ = on;
    invalidate();
}
void RegexpObject::set_multiline(bool on) {
    multiline_ = on;
    invalidate();
}
void RegexpObject::set_global(bool on) { global_ = on; }
void RegexpObject::set_pattern(std::string_view gbk_pattern) {
    pattern_.assign(gbk_pattern);
    invalidate();
}

void RegexpObject::invalidate() {
    std::lock_guard lock(cache_mutex_);
    cache_.reset();
    cache_valid_ = false;
}

std::shared_ptr<const RegexpObject::Compiled> RegexpObject::compiled() const {
    std::lock_guard lock(cache_mutex_);
    if (cache_valid_) return cache_;
    cache_valid_ = true;
    cache_.reset();

    auto translated = translate(gbk_to_utf16(pattern_), multiline_);
    if (!translated) return nullptr;
    std::unique_ptr<pcre2_compile_context, CompileContextDeleter> context(pcre2_compile_context_create(nullptr));
    if (!context) return nullptr;
    pcre2_set_newline(context.get(), PCRE2_NEWLINE_LF);  // "." matches "\r"
    uint32_t options = PCRE2_UTF | PCRE2_ALT_BSUX | PCRE2_ALLOW_EMPTY_CLASS | PCRE2_MATCH_UNSET_BACKREF;
    if (ignore_case_) options |= PCRE2_CASELESS;
    int error = 0;
    PCRE2_SIZE error_offset = 0;
    auto result = std::make_shared<Compiled>();
    result->code.reset(pcre2_compile(reinterpret_cast<PCRE2_SPTR>(translated->data()), translated->size(), options,
                                     &error, &error_offset, context.get()));
    if (!result->code) return nullptr;
    uint32_t captures = 0;
    pcre2_pattern_info(result->code.get(), PCRE2_INFO_CAPTURECOUNT, &captures);
    result->group_count = captures;
    cache_ = result;
    return cache_;
}

std::shared_ptr<const RegexpMatches> RegexpObject::execute(std::string_view gbk_subject) const {
    auto compiled_pattern = compiled();
    if (!compiled_pattern) return nullptr;
    const pcre2_code* code = compiled_pattern->code.get();

    IndexedUtf16 subject = gbk_to_utf16_indexed(gbk_subject);
    std::unique_ptr<pcre2_match_data, MatchDataDeleter> data(pcre2_match_data_create_from_pattern(code, nullptr));
    std::unique_ptr<pcre2_match_context, MatchContextDeleter> context(pcre2_match_context_create(nullptr));
    if (!data || !context) return nullptr;
    Deadline deadline{std::chrono::steady_clock::now() + time_budget};
    pcre2_set_match_limit(context.get(), match_limit);
    pcre2_set_depth_limit(context.get(), depth_limit);
    pcre2_set_heap_limit(context.get(), heap_limit_kib);
    pcre2_set_callout(context.get(), check_deadline, &deadline);

    auto matches = std::make_shared<RegexpMatches>();
    matches->subject_.assign(gbk_subject);
    matches->group_count_ = compiled_pattern->group_count;
    const std::size_t groups = compiled_pattern->group_count;
    const auto* text = reinterpret_cast<PCRE2_SPTR>(subject.text.data());
    const PCRE2_SIZE length = subject.text.size();

    PCRE2_SIZE start = 0;
    uint32_t options = 0;  // the first call checks the converted subject; later calls need not
    for (;;) {
        int rc = pcre2_match(code, text, length, start, options, data.get(), context.get());
        if (rc == PCRE2_ERROR_NOMATCH) break;
        if (rc < 0) return nullptr;  // rejected subject or a limit: the whole execution fails
        options = PCRE2_NO_UTF_CHECK;
        const PCRE2_SIZE* ov = pcre2_get_ovector_pointer(data.get());
        PCRE2_SIZE begin = ov[0];
        PCRE2_SIZE end = ov[1] < begin ? begin : ov[1];
        matches->spans_.push_back(begin);
        matches->spans_.push_back(subject.offsets[begin]);
        matches->spans_.push_back(subject.offsets[end]);
        for (std::size_t g = 1; g <= groups; ++g) {
            bool set = g < static_cast<std::size_t>(rc) && ov[2 * g] != PCRE2_UNSET;
            matches->spans_.push_back(set ? subject.offsets[ov[2 * g]] : RegexpMatches::unset);
            matches->spans_.push_back(set ? subject.offsets[ov[2 * g + 1]] : RegexpMatches::unset);
        }
        if (!global_) break;
        // After an empty match the next attempt starts one character later.
        start = end > begin ? end : end + 1;
        if (start > length) break;
        if (deadline.passed()) return nullptr;
    }
    return matches;
}

std::optional<std::string> RegexpObject::replace(std::string_view gbk_subject, std::string_view gbk_replacement) const {
    auto matches = execute(gbk_subject);
    if (!matches) return std::nullopt;
    const std::size_t groups = matches->submatch_count();
    std::string out;
    std::size_t copied = 0;  // subject bytes already written
    for (std::size_t m = 0; m < matches->count(); ++m) {
        std::size_t begin = matches->byte_offset(m);
        std::string match_text = matches->value(m);
        std::size_t end = begin + match_text.size();
        out.append(gbk_subject.substr(copied, begin - copied));
        // "$" is never the trail byte of a double-byte character, so a byte scan is safe.
        std::string_view r = gbk_replacement;
        for (std::size_t i = 0; i < r.size();) {
            if (r[i] != '$' || i + 1 >= r.size()) {
                out += r[i++];
                continue;
            }
            char n = r[i + 1];
            if (n == '$') {
                out += '$';
                i += 2;
            } else if (n == '&') {
                out += match_text;
                i += 2;
            } else if (n == '`') {
                out.append(gbk_subject.substr(0, begin));
                i += 2;
            } else if (n == '\'') {
                out.append(gbk_subject.substr(end));
                i += 2;
            } else if (n >= '0' && n <= '9') {
                std::size_t one = static_cast<std::size_t>(n - '0');
                std::size_t two = i + 2 < r.size() && r[i + 2] >= '0' && r[i + 2] <= '9'
                                      ? one * 10 + static_cast<std::size_t>(r[i + 2] - '0')
                                      : 0;
                if (two >= 1 && two <= groups) {
                    out += matches->submatch(m, two - 1);
                    i += 3;
                } else if (one >= 1 && one <= groups) {
                    out += matches->submatch(m, one - 1);
                    i += 2;
                } else {
                    out += r[i++];
                }
            } else {
                out += r[i++];
            }
        }
        copied = end;
    }
    out.append(gbk_subject.substr(copied));
    return out;
}
