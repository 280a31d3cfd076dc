#include "biosphere/rewriting.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace biosphere {

namespace {

constexpr char RuleArrow = '\xBB';
constexpr char ParameterReference = '\xFE';

float FirstParameter(const std::vector<float>& parameters) { return parameters.empty() ? 0.0f : parameters[0]; }

// sqrt((2k + 1) / k^2), the branching ratio of generation k.
double BranchingRatio(const std::vector<float>& parameters) {
  const double k = FirstParameter(parameters);
  return std::sqrt((2 * k + 1) / (k * k));
}

PlantRule MakeRule(const char* text, RuleCondition condition, RuleWeight weightFunction, float weight) {
  std::string compact;
  for (const char* p = text; *p; p++)
    if (*p != ' ')
      compact += *p;
  const size_t arrow = compact.find(RuleArrow);
  const std::string left = compact.substr(0, arrow);
  PlantRule rule;
  rule.successor = arrow == std::string::npos ? std::string() : compact.substr(arrow + 1);
  rule.predecessor = left.empty() ? 0 : left[0];
  // "P(a,b)": each name letter of the successor becomes a reference to its index.
  if (left.size() > 1 && left[1] == '(') {
    int index = 0;
    for (size_t i = 2; i < left.size() && left[i] != ')'; i++) {
      if (left[i] == ',')
        continue;
      char reference[16];
      std::snprintf(reference, sizeof reference, "%c%2d", ParameterReference, index);
      std::string replaced;
      for (char c : rule.successor)
        replaced += c == left[i] ? std::string(reference) : std::string(1, c);
      rule.successor = replaced;
      index++;
    }
    rule.parameters.assign(index, 0.0f);
  }
  rule.condition = condition;
  rule.weightFunction = weightFunction;
  rule.weight = weight;
  return rule;
}

// The two-character number at `p` ("06", " 1").
int TwoDigits(const char* p) {
  int value = 0;
  for (int i = 0; i < 2; i++)
    if (p[i] >= '0' && p[i] <= '9')
      value = value * 10 + (p[i] - '0');
  return value;
}

}  // namespace

float BranchingWeight(const std::vector<float>& parameters) {
  return static_cast<float>(0.5 * std::min(1.0, BranchingRatio(parameters)));
}

float TerminalWeight(const std::vector<float>& parameters) {
  return static_cast<float>(std::max(0.0, 1 - BranchingRatio(parameters)));
}

bool AtMostThreeTimes(RuleEngine& engine, const std::vector<float>&) { return ++engine.conditionChecks <= 3; }

double ParameterExpression(int number, const std::vector<float>& parameters) {
  // Only the next generation number is used by the species.
  return number == 6 ? FirstParameter(parameters) + 1 : 0.0;
}

void RuleEngine::AddRule(RuleSet& set, const char* text, RuleCondition condition, RuleWeight weightFunction) {
  set.push_back(MakeRule(text, condition, weightFunction, 0));
}

void RuleEngine::AddWeightedRule(RuleSet& set, const char* text, RuleCondition condition, float weight) {
  set.push_back(MakeRule(text, condition, nullptr, weight));
}

void RuleEngine::RewriteStep(std::string& text, RuleSet& set) {
  std::string result;
  result.reserve(text.size() * 2);
  char* cursor = text.data();
  char* const end = cursor + text.size();
  while (cursor < end) {
    if (!ApplyRuleAt(result, cursor, set))
      result += *cursor;
    cursor++;
  }
  text = std::move(result);
}

bool RuleEngine::ApplyRuleAt(std::string& result, char*& cursor, RuleSet& set) {
  const char symbol = *cursor;
  candidates.clear();
  candidateWeights.clear();
  const PlantRule* chosen = nullptr;
  bool matched = false;
  std::vector<float> kept;
  for (PlantRule& rule : set) {
    if (rule.predecessor != symbol)
      continue;
    if (!matched) {
      // The first rule for this symbol reads its parameter list, consuming it.
      matched = true;
      char* p = cursor + 1;
      if (!rule.parameters.empty()) {
        if (*p == '(')
          p++;
        for (float& parameter : rule.parameters) {
          if (*p == 0)
            break;  // the text ends inside the list
          char* const before = p;
          const bool range = *p == '(';
          parameter = static_cast<float>(ReadValue(p, random));
          // Step over the separator after the value; stop where nothing was read.
          if (range ? p == before || *p == 0 : *p != 0)
            break;
          p++;
        }
      }
      cursor = p - 1;
      kept = rule.parameters;
    } else {
      std::copy_n(kept.begin(), std::min(kept.size(), rule.parameters.size()), rule.parameters.begin());
    }
    if (rule.condition && !rule.condition(*this, rule.parameters))
      continue;
    if (!rule.weightFunction && rule.weight == 0) {
      chosen = &rule;
      break;
    }
    const float weight = rule.weightFunction ? rule.weightFunction(rule.parameters) : rule.weight;
    if (weight > 0) {
      candidates.push_back(&rule);
      candidateWeights.push_back(weight);
    }
  }
  if (!matched)
    return false;
  if (!chosen && !candidates.empty()) {
    chosen = candidates.back();
    if (candidates.size() > 1) {
      double sum = 0;
      for (float weight : candidateWeights)
        sum += weight;
      double left = random.Next() * (1.0 / 32767) * sum;
      for (size_t i = 0; i < candidates.size(); i++) {
        if (candidateWeights[i] > left) {
          chosen = candidates[i];
          break;
        }
        left -= candidateWeights[i];
      }
    }
  }
  if (chosen)
    Emit(result, *chosen);
  return true;
}

void RuleEngine::Emit(std::string& result, const PlantRule& rule) {
  const std::string& successor = rule.successor;
  for (size_t i = 0; i < successor.size(); i++) {
    const char c = successor[i];
    if ((c == '@' || c == ParameterReference) && i + 2 < successor.size()) {
      const int number = TwoDigits(successor.c_str() + i + 1);
      double value;
      if (c == '@')
        value = ParameterExpression(number, rule.parameters);
      else
        value = number < static_cast<int>(rule.parameters.size()) ? rule.parameters[number] : 0.0;
      AppendFormat(result, "%.02f", value);
      i += 2;
    } else {
      result += c;
    }
  }
}

void SimpleRewriteStep(std::string& text, const SimpleRuleSet& set) {
  std::string result;
  result.reserve(text.size() * 2);
  for (char c : text) {
    const std::string* rule = nullptr;
    for (const std::string& candidate : set)
      if (!candidate.empty() && candidate[0] == c) {
        rule = &candidate;
        break;
      }
    if (rule)
      result.append(*rule, std::min<size_t>(2, rule->size()));
    else
      result += c;
  }
  text = std::move(result);
}

}  // namespace biosphere
