// Custom condition expressions such as ">0.2&&<0.8" or "(<0.1)||(>0.9)", tested against one
// value. The text is rewritten into groups of terms exactly as the conditional switches have
// always read it; since that rewriting depends on the text alone, it is done once (compile) and
// each point then only compares its value with the terms' numbers (test).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tessera {

class Condition {
public:
    // Never throws. A text that cannot be read in full still compiles: unreadable terms are false.
    static Condition compile(std::string_view text) noexcept;
    bool test(float x) const noexcept;

    // A comparison of x with a number; an unreadable number (no digits, or beyond the float
    // range) makes the comparison false.
    struct Comparison {
        enum Op { Equal, NotEqual, LessEqual, GreaterEqual, Less, Greater } op = Equal;
        float value = 0.f;
        bool readable = false;
        bool holds(float x) const noexcept;
    };
    // One term adds 1 for each of its comparisons that holds (a term may carry up to four).
    struct Term {
        Comparison comparisons[4];
        int count = 0;
        int holding(float x) const noexcept;
    };
    // A group or the remainder: the conjunction of its AND terms if it has any, else the
    // disjunction of its OR terms, else false.
    struct Group {
        std::vector<Term> andTerms, orTerms;
        bool holds(float x) const noexcept;
    };

private:
    std::vector<Group> m_gates;         // "&&(...)": all must hold
    bool m_hasRemainder = false;        // text was left outside the groups
    Group m_remainder;                  // decides true at once when it holds
    std::vector<Group> m_alternatives;  // "(...)" at the start and "||(...)"
};

// Compiles and tests in one call: the evaluation of one text for one value.
bool evaluateCondition(std::string_view text, float x) noexcept;

}  // namespace tessera
