#include "condition.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace tessera {

namespace {

// Replaces every f in s by r, searching on after each inserted r. True when anything changed.
bool replaceAll(std::string& s, std::string_view f, std::string_view r) {
    if (f.empty()) return false;
    bool replaced = false;
    for (std::size_t pos = s.find(f); pos != std::string::npos; pos = s.find(f, pos + r.size())) {
        s.replace(pos, f.size(), r);
        replaced = true;
    }
    return replaced;
}

bool contains(const std::string& s, std::string_view f) { return s.find(f) != std::string::npos; }

std::size_t countOf(const std::string& s, std::string_view f) {
    if (f.empty()) return 0;
    std::size_t n = 0;
    for (std::size_t pos = s.find(f); pos != std::string::npos; pos = s.find(f, pos + f.size()))
        ++n;
    return n;
}

std::vector<std::string> split(const std::string& s) {
    std::vector<std::string> pieces(1);
    for (char c : s) {
        if (c == ';')
            pieces.emplace_back();
        else
            pieces.back() += c;
    }
    return pieces;
}

// The standard text-to-float reading (blanks skipped, the longest numeric prefix, the rest
// ignored), without the exceptions: no number, or one beyond the float range, is unreadable.
Condition::Comparison readComparison(Condition::Comparison::Op op, const std::string& rest) {
    Condition::Comparison c;
    c.op = op;
    const char* begin = rest.c_str();
    char* end = nullptr;
    errno = 0;
    const float v = std::strtof(begin, &end);
    c.readable = end != begin && !(errno == ERANGE && std::isinf(v));
    c.value = c.readable ? v : 0.f;
    return c;
}

// The comparison op of term t: t with every op removed, then read as a number; a term that does
// not contain op has none.
void addComparison(Condition::Term& term, const std::string& t, std::string_view op,
                   Condition::Comparison::Op kind) {
    std::string rest = t;
    if (!replaceAll(rest, op, "")) return;
    term.comparisons[term.count++] = readComparison(kind, rest);
}

Condition::Term compileTerm(const std::string& t) {
    using C = Condition::Comparison;
    Condition::Term term;
    if (contains(t, "==")) addComparison(term, t, "==", C::Equal);
    if (contains(t, "!=")) addComparison(term, t, "!=", C::NotEqual);
    if (contains(t, "<="))
        addComparison(term, t, "<=", C::LessEqual);
    else if (contains(t, "<"))
        addComparison(term, t, "<", C::Less);
    if (contains(t, ">="))
        addComparison(term, t, ">=", C::GreaterEqual);
    else if (contains(t, ">"))
        addComparison(term, t, ">", C::Greater);
    return term;
}

// A group's text, or the remainder: "&&" and "||" start new pieces; the first piece is an AND
// term in a group and an OR term in the remainder; later pieces without either are dropped.
Condition::Group compileGroup(std::string s, bool firstIsAnd) {
    replaceAll(s, "&&", ";&&");
    replaceAll(s, "||", ";||");
    const std::vector<std::string> pieces = split(s);
    Condition::Group g;
    (firstIsAnd ? g.andTerms : g.orTerms).push_back(compileTerm(pieces[0]));
    for (std::size_t k = 1; k < pieces.size(); ++k) {
        std::string p = pieces[k];
        if (replaceAll(p, "&&", "")) g.andTerms.push_back(compileTerm(p));
        if (replaceAll(p, "||", "")) g.orTerms.push_back(compileTerm(p));
    }
    return g;
}

// Takes the groups that open with `opener` out of r: each runs to the first ")" after its
// opener's start (or to the end), every copy of it is removed from r, and its text loses the
// openers and ")". The count is taken first; an identical group removed with an earlier copy
// leaves no opener for its turn, which is then skipped.
std::vector<std::string> takeGroups(std::string& r, std::string_view opener) {
    std::vector<std::string> groups;
    const std::size_t n = countOf(r, opener);
    for (std::size_t k = 0; k < n; ++k) {
        const std::size_t s = r.find(opener);
        if (s == std::string::npos) continue;
        const std::size_t e = r.find(')', s + 1);
        std::string g = r.substr(s, e == std::string::npos ? std::string::npos : e - s + 1);
        replaceAll(r, g, "");
        replaceAll(g, opener, "");
        replaceAll(g, ")", "");
        groups.push_back(std::move(g));
    }
    return groups;
}

}  // namespace

bool Condition::Comparison::holds(float x) const noexcept {
    if (!readable) return false;
    switch (op) {
        case Equal:
            return x == value;
        case NotEqual:
            return x != value;
        case LessEqual:
            return x <= value;
        case GreaterEqual:
            return x >= value;
        case Less:
            return x < value;
        case Greater:
            return x > value;
    }
    return false;
}

int Condition::Term::holding(float x) const noexcept {
    int n = 0;
    for (int k = 0; k < count; ++k) n += comparisons[k].holds(x);
    return n;
}

bool Condition::Group::holds(float x) const noexcept {
    if (!andTerms.empty()) {
        std::size_t n = 0;
        for (const Term& t : andTerms) n += static_cast<std::size_t>(t.holding(x));
        return n == andTerms.size();
    }
    for (const Term& t : orTerms)
        if (t.holding(x) > 0) return true;
    return false;
}

Condition Condition::compile(std::string_view text) noexcept {
    Condition c;
    try {
        std::string r(text);
        for (std::string& g : takeGroups(r, "&&("))
            c.m_gates.push_back(compileGroup(std::move(g), true));
        if (r.find('(') == 0) {
            const std::size_t e = r.find(')', 1);
            std::string g = r.substr(0, e == std::string::npos ? std::string::npos : e + 1);
            replaceAll(r, g, "");
            replaceAll(g, "(", "");
            replaceAll(g, ")", "");
            c.m_alternatives.push_back(compileGroup(std::move(g), true));
        }
        for (std::string& g : takeGroups(r, "||("))
            c.m_alternatives.push_back(compileGroup(std::move(g), true));
        c.m_hasRemainder = !r.empty();
        if (c.m_hasRemainder) c.m_remainder = compileGroup(std::move(r), false);
    } catch (...) {
        return Condition();  // out of memory: a condition that never holds
    }
    return c;
}

bool Condition::test(float x) const noexcept {
    bool t = false;
    if (!m_gates.empty()) {
        for (const Group& g : m_gates)
            if (!g.holds(x)) return false;
        t = true;
    }
    if (m_hasRemainder) {
        if (m_remainder.holds(x)) return true;
        t = false;
    }
    for (const Group& g : m_alternatives)
        if (g.holds(x)) t = true;
    return t;
}

bool evaluateCondition(std::string_view text, float x) noexcept {
    return Condition::compile(text).test(x);
}

}  // namespace tessera
