// The custom condition evaluator: the rewriting rules users' texts depend on, surprising cases
// included, and texts that must never crash, throw or hang.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "condition.h"

using tessera::Condition;
using tessera::evaluateCondition;

namespace {

struct Case {
    const char* text;
    float x;
    bool expected;
};

const float kNaN = std::nanf("");

}  // namespace

TEST(Condition, ExamplesOfTheRules) {
    const Case cases[] = {
        {"<0.5", 0.4f, true},
        {"<0.5", 0.5f, false},
        {"<=0.5", 0.5f, true},
        {"==0.25", 0.25f, true},
        {"==0.25", 0.26f, false},
        {"!=0.25", 0.25f, false},
        {"!=0.25", 0.3f, true},
        {"  <  0.5  ", 0.4f, true},
        {"  <  0.5  ", 0.6f, false},
        {">= 0.5", 0.5f, true},
        // At the top level the first term is an OR term: the AND term decides alone.
        {">0.2&&<0.8", 0.1f, true},
        {">0.2&&<0.8", 0.9f, false},
        // Inside a group the first term is an AND term.
        {"(>0.2&&<0.8)", 0.1f, false},
        {"(>0.2&&<0.8)", 0.5f, true},
        {"<0.1||>0.9", 0.05f, true},
        {"<0.1||>0.9", 0.95f, true},
        {"<0.1||>0.9", 0.5f, false},
        {"(<0.1)||(>0.9)", 0.05f, true},
        {"(<0.1)||(>0.9)", 0.95f, true},
        {"(<0.1)||(>0.9)", 0.5f, false},
        // Gates decide alone when nothing else is left.
        {"(>0.2)&&(<0.8)", 0.1f, true},
        {"(>0.2)&&(<0.8)", 0.9f, false},
        {"&&(>0.2)<0.8", 0.5f, true},
        {"&&(>0.2)<0.8", 0.1f, false},
        {"&&(>0.2)<0.8", 0.9f, false},
        {"0.5", 0.5f, false},
        {"", 0.f, false},
        {"(>0.2&&<0.8", 0.5f, true},
        {"(>0.2&&<0.8", 0.9f, false},
        // A failing remainder leaves the result to the alternative groups, even after gates.
        {"&&(>0.2)<0.5||(>0.9)", 0.95f, true},
        {"&&(>0.2)<0.5||(>0.9)", 0.7f, false},
        // A ';' separates like an inserted one; a piece after it without && or || is dropped.
        {"<0.5;>0.9", 0.95f, false},
        {"<0.5;||>0.9", 0.95f, true},
        // Comparisons with NaN: equality false, inequality true, ordered tests false.
        {"==0.5", kNaN, false},
        {"!=0.5", kNaN, true},
        {"<0.5", kNaN, false},
        {"!=nan", 1.f, true},
        // Several operators in one term each count.
        {"<=>=0.5", 0.5f, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(evaluateCondition(c.text, c.x), c.expected) << '"' << c.text << "\" at " << c.x;
        EXPECT_EQ(Condition::compile(c.text).test(c.x), c.expected) << "compiled once";
    }
}

TEST(Condition, UnreadableTermsAreFalseWithoutThrowing) {
    const Case cases[] = {
        {"<abc", 0.f, false},
        {">1e99", 1e30f, false},
        {"<1e99", 0.f, false},
        {"<-1e99", 0.f, false},
        {"&&(&&(", 0.f, false},
        {"inputA<0.5", 0.f, false},
        {"<", 0.f, false},
        {"(((", 0.f, false},
        {")))", 0.f, false},
        {"||(||(||(", 0.f, false},
        {"&&&&&&", 0.f, false},
        {"<1e-50", -1.f, true},
        // The same gate twice: its copies go with the first; the second turn finds no opener.
        {"&&(>0.2)&&(>0.2)", 0.5f, true},
        {"&&(>0.2)&&(>0.2)", 0.1f, false},
        {"||(<0.1)||(<0.1)", 0.05f, true},
        // An inner "(" stays in front of the number and makes it unreadable.
        {"&&((>0.2))", 0.5f, false},
    };
    for (const Case& c : cases) {
        bool result = !c.expected;
        EXPECT_NO_THROW(result = evaluateCondition(c.text, c.x)) << c.text;
        EXPECT_EQ(result, c.expected) << '"' << c.text << "\" at " << c.x;
    }
    // Long and hostile texts finish.
    std::string big;
    for (int k = 0; k < 500; ++k) big += "&&(>0." + std::to_string(k) + ")||(";
    EXPECT_NO_THROW(evaluateCondition(big, 0.5f));
    EXPECT_FALSE(evaluateCondition(std::string(100000, '('), 0.5f));
    EXPECT_NO_THROW(evaluateCondition(std::string("<0.5\0>0.2", 9), 0.3f));
}
