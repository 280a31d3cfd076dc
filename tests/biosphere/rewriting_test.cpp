// The rewriting engines and the number reader, on hand-worked cases.
#include "biosphere/rewriting.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "biosphere/biosphere.h"

namespace {

using namespace biosphere;

// A draw source that returns a fixed value and counts its calls.
int fixedDraw = 0;
int drawsTaken = 0;
int FixedDraw() {
  drawsTaken++;
  return fixedDraw;
}

bool Never(RuleEngine&, const std::vector<float>&) { return false; }

TEST(PlantRules, CreationRemovesBlanksAndNumbersTheParameters) {
  RuleSet set;
  RuleEngine::AddRule(set, "A(k,x) \xBB f(k) [x] A(@06) kx");
  RuleEngine::AddWeightedRule(set, "k \xBB  ", nullptr, 0.25f);
  RuleEngine::AddRule(set, "B \xBB c \xBB d");
  ASSERT_EQ(set.size(), 3u);
  EXPECT_EQ(set[0].predecessor, 'A');
  EXPECT_EQ(set[0].parameters.size(), 2u);
  EXPECT_EQ(set[0].successor, "f(\xFE 0)[\xFE 1]A(@06)\xFE 0\xFE 1");
  EXPECT_EQ(set[0].weight, 0.0f);
  EXPECT_EQ(set[1].predecessor, 'k');
  EXPECT_TRUE(set[1].parameters.empty());
  EXPECT_EQ(set[1].successor, "");
  EXPECT_EQ(set[1].weight, 0.25f);
  EXPECT_EQ(set[2].successor,
            "c\xBB"
            "d");  // split at the first arrow only
}

TEST(PlantRules, OneRewritingPass) {
  struct Case {
    std::vector<const char*> rules;  // deterministic rules
    const char* text;
    const char* expected;
  } cases[] = {
      // Parameters are read, printed with two decimals, and @06 is the next generation.
      {{"A(k) \xBB [k]A(@06)"}, "A(1)xA(2.5)", "[1.00]A(2.00)x[2.50]A(3.50)"},
      // Bytes without a rule pass unchanged, blanks included; an empty successor deletes.
      {{"k \xBB ", "F \xBB C c"}, "a kF k", "a Cc "},
      // Rules apply in parallel: what a rule emits is not rewritten in the same pass.
      {{"A \xBB AB", "B \xBB A"}, "AB", "ABA"},
      // The first rule for a symbol consumes its parameters for the later ones.
      {{"A(k,j) \xBB [j]"}, "A(1,(2:2))", "[2.00]"},
      // A range as the last byte of the text: the list ends there.
      {{"A(k) \xBB x"}, "yA(", "yx"},
  };
  Randomness random;
  for (const Case& c : cases) {
    RuleEngine engine(random);
    for (const char* rule : c.rules)
      RuleEngine::AddRule(engine.growthRules, rule);
    std::string text = c.text;
    engine.RewriteStep(text, engine.growthRules);
    EXPECT_EQ(text, c.expected) << c.text;
  }
}

TEST(PlantRules, ASymbolWhoseRulesAreAllRefusedDisappearsWithItsParameters) {
  Randomness random;
  RuleEngine engine(random);
  RuleEngine::AddWeightedRule(engine.growthRules, "C(n) \xBB z", Never, 1.0f);
  RuleEngine::AddRule(engine.growthRules, "C(n) \xBB y", Never);
  std::string text = "aC(3)bC(4.5)";
  engine.RewriteStep(text, engine.growthRules);
  EXPECT_EQ(text, "ab");
}

TEST(PlantRules, WeightedChoiceFollowsTheDraw) {
  struct Case {
    int draw;
    const char* expected;
  } cases[] = {{0, "x"}, {16383, "x"}, {16384, "y"}, {26213, "y"}, {26214, "z"}, {32767, "z"}};
  for (const Case& c : cases) {
    fixedDraw = c.draw;
    drawsTaken = 0;
    Randomness random(FixedDraw);
    RuleEngine engine(random);
    RuleEngine::AddWeightedRule(engine.growthRules, "A \xBB x", nullptr, 0.5f);
    RuleEngine::AddWeightedRule(engine.growthRules, "A \xBB y", nullptr, 0.3f);
    RuleEngine::AddWeightedRule(engine.growthRules, "A \xBB z", nullptr, 0.2f);
    std::string text = "A";
    engine.RewriteStep(text, engine.growthRules);
    EXPECT_EQ(text, c.expected) << c.draw;
    EXPECT_EQ(drawsTaken, 1);
  }
  // A weight of 0 is no candidate; a single candidate is chosen without a draw.
  for (int draw : {0, 32767}) {
    fixedDraw = draw;
    drawsTaken = 0;
    Randomness random(FixedDraw);
    RuleEngine engine(random);
    RuleEngine::AddRule(engine.growthRules, "A(k) \xBB y", nullptr, TerminalWeight);  // 0 for k = 1
    RuleEngine::AddWeightedRule(engine.growthRules, "A \xBB x", nullptr, 0.5f);
    std::string text = "A(1)";
    engine.RewriteStep(text, engine.growthRules);
    EXPECT_EQ(text, "x");
    EXPECT_EQ(drawsTaken, 0);
  }
}

TEST(PlantRules, AtMostThreeTimesCountsTheChecksOfBothRules) {
  fixedDraw = 32767;  // always the last candidate
  Randomness random(FixedDraw);
  RuleEngine engine(random);
  RuleEngine::AddWeightedRule(engine.growthRules, "A \xBB n", nullptr, 0.3f);
  RuleEngine::AddWeightedRule(engine.growthRules, "A \xBB b", AtMostThreeTimes, 0.35f);
  RuleEngine::AddWeightedRule(engine.growthRules, "A \xBB c", AtMostThreeTimes, 0.35f);
  std::string text = "AAA";
  engine.RewriteStep(text, engine.growthRules);
  EXPECT_EQ(text, "cbn");
  EXPECT_EQ(engine.conditionChecks, 6);
}

TEST(PlantRules, WeightFunctionsOfTheGeneration) {
  struct Case {
    float k, branching, terminal;
  } cases[] = {{1, 0.5f, 0}, {2, 0.5f, 0}, {3, 0.440959f, 0.118082f}, {8, 0.257694f, 0.484611f}};
  for (const Case& c : cases) {
    EXPECT_NEAR(BranchingWeight({c.k}), c.branching, 1e-6) << c.k;
    EXPECT_NEAR(TerminalWeight({c.k}), c.terminal, 1e-6) << c.k;
  }
  EXPECT_EQ(ParameterExpression(6, {4.0f}), 5.0);
}

TEST(PlantRules, SimpleRewritingEmitsFromTheArrowOn) {
  std::string text = "xAyB";
  SimpleRewriteStep(text, {"A \xBB f A", "A \xBB never", "B \xBB q"});
  EXPECT_EQ(text, "x\xBB f Ay\xBB q");
}

TEST(ReadValue, ReadsNumbersRangesAndSeparators) {
  struct Case {
    const char* text;
    double low, high;   // the value read lies in [low, high]
    int cursor;         // where the cursor rests, from the start
    const char* after;  // the text afterwards, up to its first zero byte
  } cases[] = {
      {"0.6=D", 0.6, 0.6, 3, "0.6"},
      {"2.5,1)", 2.5, 2.5, 3, "2.5"},
      {"-0.4)", -0.4, -0.4, 4, "-0.4"},
      {"=x", 0, 0, 0, ""},
      {"abc", 0, 0, 0, "abc"},                 // no separator: nothing moves or changes
      {"(60:120))", 60, 120, 8, "(60:120))"},  // a range: just after its ")"
      {"(5:2)", 2, 5, 5, "(5:2)"},
      {"(1.5:1.5),", 1.5, 1.5, 9, "(1.5:1.5),"},
      {"(60:120", 0, 0, 0, "(60:120"},  // unterminated ranges are refused
      {"(60", 0, 0, 0, "(60"},
      {"(000000000000000000000000000000000000000000000000000007:0)", 0, 0, 58, ""},  // bounds are read from 50 bytes
  };
  for (const Case& c : cases) {
    std::vector<char> text(c.text, c.text + std::strlen(c.text) + 1);
    char* cursor = text.data();
    const double value = ReadValue(cursor);
    EXPECT_GE(value, c.low) << c.text;
    EXPECT_LE(value, c.high) << c.text;
    EXPECT_EQ(cursor - text.data(), c.cursor) << c.text;
    if (*c.after) {
      EXPECT_STREQ(text.data(), c.after) << c.text;
    }
  }
}

TEST(ReadValue, ARangeDrawsFromBoundToBound) {
  for (int draw : {0, 32767}) {
    fixedDraw = draw;
    Randomness random(FixedDraw);
    char text[] = "(0.85:0.95)";
    char* cursor = text;
    EXPECT_DOUBLE_EQ(ReadValue(cursor, random), draw ? 0.95 : 0.85);
  }
}

}  // namespace
