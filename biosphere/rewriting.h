// The two rewriting engines that grow plant description strings. Internal to the library.
#pragma once

#include <string>
#include <vector>

#include "biosphere/numbers.h"

namespace biosphere {

class RuleEngine;
using RuleCondition = bool (*)(RuleEngine& engine, const std::vector<float>& parameters);
using RuleWeight = float (*)(const std::vector<float>& parameters);

// One rule of engine 1: "P(a,b) » successor". Parameter letters of the successor are
// stored as the byte 0xFE followed by the parameter's index printed with "%2d".
struct PlantRule {
  char predecessor = 0;
  std::vector<float> parameters;  // read from the symbol being rewritten
  std::string successor;
  RuleCondition condition = nullptr;
  RuleWeight weightFunction = nullptr;
  float weight = 0;  // used without a weight function; 0 makes the rule deterministic
};
using RuleSet = std::vector<PlantRule>;

// Weights of the parametric species, of the first parameter k (the generation).
float BranchingWeight(const std::vector<float>& parameters);  // 0.5 min(1, sqrt((2k + 1) / k^2))
float TerminalWeight(const std::vector<float>& parameters);   // max(0, 1 - sqrt((2k + 1) / k^2))
// True for the first three checks after the engine's counter was reset.
bool AtMostThreeTimes(RuleEngine& engine, const std::vector<float>& parameters);
// Numbered parameter expressions of successors ("@06": the first parameter plus 1).
double ParameterExpression(int number, const std::vector<float>& parameters);

// Engine 1: weighted, conditional, parametric rules applied in parallel passes.
class RuleEngine {
 public:
  explicit RuleEngine(Randomness& random) : random(random) {}

  RuleSet growthRules;
  RuleSet finalRules;
  int conditionChecks = 0;  // the counter of AtMostThreeTimes

  // Rules made from text: blanks removed, split at the first byte 0xBB.
  static void AddRule(RuleSet& set, const char* text, RuleCondition condition = nullptr,
                      RuleWeight weightFunction = nullptr);
  static void AddWeightedRule(RuleSet& set, const char* text, RuleCondition condition, float weight);

  // One parallel rewriting pass over `text`, in place.
  void RewriteStep(std::string& text, RuleSet& set);

  // Chooses a rule for the symbol at `cursor` and appends its successor to `result`.
  // Moves the cursor to the last byte of the symbol (over its parameter list). Returns
  // false when no rule has that predecessor; true otherwise, even when it emits nothing.
  bool ApplyRuleAt(std::string& result, char*& cursor, RuleSet& set);

 private:
  void Emit(std::string& result, const PlantRule& rule);

  Randomness& random;
  std::vector<const PlantRule*> candidates;
  std::vector<float> candidateWeights;
};

// Engine 2: plain texts "P » successor". Each byte that is the first byte of a rule is
// replaced by the rule text from its third byte on (the arrow and what follows).
using SimpleRuleSet = std::vector<std::string>;
void SimpleRewriteStep(std::string& text, const SimpleRuleSet& set);

}  // namespace biosphere
