// The 18 species: axioms, rules, pass counts and the procedurally placed parts. Texts are
// code page 1252; the non-ASCII bytes are spelled by the macros below.
#include "biosphere/species.h"

#include <cmath>

#include "biosphere/rewriting.h"

#define ARROW "\xBB"     // rule arrow
#define SECTION "\xA7"   // sets a named quantity
#define POUND "\xA3"     // symbol
#define E_ACUTE "\xE9"   // symbol and quantity name
#define E_GRAVE "\xE8"   // symbol and quantity name
#define A_GRAVE "\xE0"   // quantity name
#define NOT_SIGN "\xAC"  // quantity name
#define CURRENCY "\xA4"  // symbol

namespace biosphere {

namespace {

constexpr double Pi = 3.14159265358979323846;
constexpr double DegreesPerRadian = 57.29577950560105;

void Lowercase(std::string& text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
}

void Repeat(RuleEngine& engine, std::string& text, RuleSet& set, int passes) {
  for (int i = 0; i < passes; i++)
    engine.RewriteStep(text, set);
}

// The prefix, printed after growth, goes before the grown string.
void Prepend(std::string& text, const std::string& prefix) { text.insert(0, prefix); }

// ((long random mod 21) x 0.05 - 0.5) x 0.15 + 1: a size factor from 0.925 to 1.075.
double GridFactor(Randomness& random) { return (random.Modulo(21) * 0.05 - 0.5) * 0.15 + 1; }

void Model0(Randomness& random, std::string& text) {
  RuleEngine engine(random);
  const double s = random.Uniform(0.8, 1.2);
  text = "#(0) " SECTION "(r,5) A";
  engine.AddRule(engine.growthRules, "A " ARROW " f/((60:150)) [+((10:20)) /((-20:30)) *0.6=D *(0.85:0.95)=L f" E_ACUTE
                                     "A] *(0.9:1.15)=L *0.8=D -((10:20)) /((-20:20)) f" E_ACUTE "A");
  engine.AddRule(engine.finalRules, "F " ARROW " C");
  engine.AddRule(engine.finalRules, "A " ARROW " " SECTION "(" E_ACUTE ",1) " E_ACUTE " " SECTION "(L,7) " SECTION
                                    "(D,0.8) &((0:360)) #(1)P");
  Repeat(engine, text, engine.growthRules, 5);
  engine.RewriteStep(text, engine.finalRules);
  std::string prefix;
  AppendFormat(prefix,
               "$(%.02f) " POUND "(%.02f) " SECTION "(" A_GRAVE
               ",%.02f) m(0.6) [/((100:140)) +((160:175)) m(1)-(180) c] [/((220:260)) +((160:175)) m(1)-(180) c] "
               "/((-20:20)) +((160:175)) m(1)-(180) c " E_GRAVE E_GRAVE,
               s * 6, s * 2.3, s * 0.15);
  Prepend(text, prefix);
}

void Model1(Randomness& random, std::string& text) {
  const double e = GridFactor(random);
  const double length = e * 0.6 + 0.1 - random.Uniform(0, 0.2);
  text.clear();
  AppendFormat(text, "*%.02f=D *%.02f=L /((0:360)) +((0:45)) BF", e * 0.4, length);
  const SimpleRuleSet growth = {
      "F " ARROW " f *0.995=D &((-2.5:10)) +((-5:5)) " E_GRAVE "F",
      "B " ARROW
      " *0.5=L m(0.8) [&(10)m(-1)c] [/(60) &(10)m(-1)c] [/(120) &(10)m(-1)c] [/(180) &(10)m(-1)c] "
      "[/(240) &(10)m(-1)c] [/(300) &(10)m(-1)c] *2.5=L"};
  const int passes = static_cast<int>(e * 6);
  for (int i = 0; i < passes; i++)
    SimpleRewriteStep(text, growth);
  SimpleRewriteStep(text, {"F " ARROW " #(1) m(0.05)"});
  // Six rings of six leaves around the top.
  for (int j = 0; j < 6; j++) {
    const double h = (j <= 3 ? 0.8 + 0.25 * j : 0.8 + 0.25 * (8 - j)) * 0.2 * e;
    if (j == 5)
      AppendFormat(text, "$(%.02f) " POUND "(%.02f) /((0:360)) #(%d)", h * 3.75, h, 2);
    else
      AppendFormat(text, "$(%.02f) " POUND "(%.02f) /((0:360)) #(%d)", h * 6.25, h * 1.25, 1);
    const int n = static_cast<int>(random.Modulo(3) + 5 * e);
    for (int k = 0; k < 6; k++) {
      const double turn = random.Modulo(40) + k * 360 / static_cast<double>(n + 1) - 20;
      const double tilt = j == 5 ? 80 : random.Modulo(20) + 27 * j - 75;
      AppendFormat(text, "[/(%.02f) &(%.02f) +((-10:10)) *(0.9:1.3)=L *(0.8:1.2)=D - P]", turn, tilt);
    }
  }
}

void Model2(Randomness& random, std::string& text) {
  text.clear();
  for (int i = 0; i < 4; i++)
    for (int j = 0; j < 4; j++) {
      const double r1 = random.Uniform(0, 1);
      const double r2 = random.Uniform(0, 1);
      const double r3 = random.Uniform(0, 0.5);
      const double r4 = random.Uniform(0, 1);
      AppendFormat(text, "[*%.02f=D *%.02f=L /(%.02f) +(%.02f) " SECTION "(" E_ACUTE ",%.02f) " SECTION "(f,%.02f) A]",
                   0.1 + (j + r1) / 15, 0.2 + (j + r2) / 15, (i - 0.5 + r3) * 90, 45 - 10 * (j + r4), 0.1 + 0.1 * j,
                   3 - 0.5 * j);
    }
  for (int k = 0; k < 4; k++) {
    const double r = random.Uniform(0, 0.5);
    const double r2 = random.Uniform(0, 0.5);
    AppendFormat(text,
                 "[*(0.1:0.3)=D *(0.2:0.4)=L /(%.02f) +(%.02f) " SECTION "(" E_ACUTE ",%.02f) " SECTION "(f,%.02f) B]",
                 (k - 0.5 + r) * 90, 45 + (r2 - 0.5) * 10, 0.4, 15.0);
  }
  const SimpleRuleSet growth = {"A " ARROW " f" E_ACUTE " *0.98=D *0.98=L A",
                                "B " ARROW " f" E_ACUTE " *0.98=D *0.98=L B"};
  for (int i = 0; i < 2; i++)
    SimpleRewriteStep(text, growth);
  SimpleRewriteStep(text, {"A " ARROW " #(1) *1.5=D *2.5=L P", "B " ARROW " #(1) *0.4=D *0.4=L P"});
}

void Model3(Randomness& random, std::string& text) {
  RuleEngine engine(random);
  text = SECTION "(r,90) " SECTION "(" E_GRAVE ",(0.28:0.32)) *0.24=D *0.27=L *0.5=L c *(1.8:2.2)=L #(0) K";
  RuleSet& growth = engine.growthRules;
  engine.AddWeightedRule(growth,
                         "K " ARROW
                         " /((90:150)) *0.5=D *0.5=L [m((0:0.25)) /((0:90)) ++((-15:15)) *0.88=L B] "
                         "[m((0.25:0.5)) /((270:360)) ++((-15:15)) *0.75=L B] *1.6=D *0.95=r *2=L +((-10:10)) " E_GRAVE
                         "kK",
                         nullptr, 0.5f);
  engine.AddWeightedRule(growth,
                         "K " ARROW
                         " /((90:150)) *0.5=D *0.5=L [m((0:0.17)) /((0:60)) ++((-15:15)) *0.92=L B] "
                         "[m((0.17:0.34)) /((120:180)) ++((-15:15)) *0.85=L B] [m((0.34:0.5)) /((240:300)) "
                         "++((-15:10)) *0.75=L B] *1.6=D *0.95=r *2=L +((-10:15)) " E_GRAVE "kK",
                         nullptr, 0.3f);
  engine.AddWeightedRule(growth,
                         "K " ARROW
                         " /((90:150)) *0.5=D *0.5=L [m((0:0.125)) /((0:90)) ++((-15:15)) B] "
                         "[m((0.125:0.25)) /((90:180)) ++((-15:15)) *0.9=L B] [m((0.25:0.375)) /((180:270)) "
                         "++((-15:15)) *0.825=L B] [m((0.375:0.5)) /((270:360)) ++((-15:15)) *0.75=L B] *1.6=D "
                         "*0.95=r *2=L +((-10:15)) " E_GRAVE "kK",
                         nullptr, 0.2f);
  engine.AddRule(growth, "B " ARROW " b" E_GRAVE "E");
  engine.AddRule(growth, "E " ARROW " b" E_GRAVE "F");
  engine.AddRule(growth, "F " ARROW " H");
  engine.AddRule(growth, "H " ARROW " b" E_GRAVE "[&(60)G][^(60)G]G");
  engine.AddRule(growth, "G " ARROW " bB");
  RuleSet& final = engine.finalRules;
#define LEAVES3 "[" SECTION "(L,2.4) " SECTION "(D,0.24) /((-15:15)) #(1) [&(90) P] [&(-90) P] [P]]"
  engine.AddRule(final, "B " ARROW " C " LEAVES3);
  engine.AddRule(final, "b " ARROW " C [" SECTION "(L,2.4) " SECTION "(D,0.24) /((-15:15)) #(1) [&(90) P] [&(-90) P]]");
  engine.AddRule(final, "E " ARROW " C " LEAVES3);
  engine.AddRule(final, "F " ARROW " C " LEAVES3);
  engine.AddRule(final, "G " ARROW " C " LEAVES3);
  engine.AddRule(final, "H " ARROW " C " LEAVES3);
#undef LEAVES3
  engine.AddRule(final, "k " ARROW " C");
  engine.AddRule(final, "K " ARROW " [*2=L C] [" SECTION "(L,1.5) " SECTION
                        "(D,0.15) #(1) [m((0.5:0.6))/((30:90)) +P] [m((0.6:0.8))/((150:210)) +P] "
                        "[m((0.8:1))/((270:330)) +P]]");
  Repeat(engine, text, growth, 5);
  engine.RewriteStep(text, final);
}

void Model4(Randomness& random, std::string& text) {
  RuleEngine engine(random);
  const double s = (1 + random.Uniform(0, 0.2)) * 1.4;
  text = "#(0) A(1)";
  engine.AddRule(engine.growthRules,
                 "A(k) " ARROW " /((60:120)) [+((30:42)) *(0.7:0.9)=L *0.6=D " E_ACUTE
                 " F A(@06)] *0.9=L *0.8=D -((5:25))" E_GRAVE "FA(@06)",
                 nullptr, BranchingWeight);
  engine.AddRule(engine.growthRules,
                 "A(k) " ARROW " /((60:120)) [+((30:42))B] *0.8=L *0.6=D -((5:25))" E_GRAVE "FA(@06)", nullptr,
                 TerminalWeight);
  engine.AddRule(engine.finalRules, "F " ARROW " C");
  engine.AddRule(engine.finalRules, "A(k) " ARROW " [" SECTION "(" E_ACUTE ",1) " E_ACUTE " " SECTION
                                    "(f,(0.85:0.95)) [&((-80:80)) +((-60:60)) " SECTION "(L,2.5) " SECTION
                                    "(D,(0.3:0.4)) #(1)P] [m(-0.4) &((80:240)) +((-60:60)) " SECTION "(L,2.5) " SECTION
                                    "(D,(0.3:0.4)) #(1)P] ]");
  engine.AddRule(engine.finalRules,
                 "B " ARROW " [" SECTION "(" E_ACUTE ",1) " E_ACUTE " " SECTION
                 "(f,(0.85:0.95)) &((-80:80)) +((-60:60)) " SECTION "(L,2.5) " SECTION "(D,(0.3:0.4)) #(1)P]");
  Repeat(engine, text, engine.growthRules, 6);
  engine.RewriteStep(text, engine.finalRules);
  std::string prefix;
  AppendFormat(prefix,
               "$(%.02f) " POUND "(%.02f) " SECTION "(" A_GRAVE
               ",%.02f) m(0.8) [/((0:60)) &((5:8))m(-1)c] [/((120:180)) &((5:8))m(-1)c] [/((240:300)) "
               "&((5:8))m(-1)c] m(-0.1) C ",
               s * 6, s * 1.5, s * 0.15);
  Prepend(text, prefix);
}

void Model5(Randomness& random, std::string& text) {
  RuleEngine engine(random);
  const double a = random.Uniform(0.75, 0.95);
  const double b = random.Uniform(0.8, 1.0) * a * 6;
  const double c = a * 3.5;
  text.clear();
  AppendFormat(text, SECTION "(r,90) " SECTION "(D,%.02f) " SECTION "(L,%.02f) /((0:360)) +((0:15)) K c *0.9=D c", b,
               c);
  RuleSet& growth = engine.growthRules;
  engine.AddWeightedRule(
      growth, "K " ARROW " c *0.90=D " E_GRAVE "+((-5:5)) /((90:150)) [+ *(0.65:0.85)=L *0.95=D B] *0.98=r K", nullptr,
      0.15f);
  engine.AddWeightedRule(growth, "K " ARROW " c *0.96=D " E_GRAVE "+((-5:5)) K", nullptr, 0.85f);
  engine.AddRule(growth, "B " ARROW " bC");
  engine.AddRule(growth, "C " ARROW " c " E_GRAVE "+((-5:5)) /((90:150)) *0.96=D C");
  engine.AddRule(engine.finalRules,
                 "b " ARROW " *(0.6:0.9)=L *0.8=D C *1.1=D -(10)C *0.333=L " E_GRAVE "*1.5=L*0.9=D C" E_GRAVE
                 "*1.5=LC" E_GRAVE "*1.5=L*0.9=D C" E_GRAVE "*0.9=D C" E_GRAVE);
  engine.AddRule(engine.finalRules, "k " ARROW "  ");
  Repeat(engine, text, growth, 10);
  engine.RewriteStep(text, engine.finalRules);
}

void Model6(Randomness& random, std::string& text) {
  RuleEngine engine(random);
  // Stored with one closing parenthesis fewer after "+((0:20)".
  text = SECTION "(r,90) *0.4=D *0.1=L /((0:360)) +((0:20) TTTT *1=L K";
  const int passes = 8 + static_cast<int>(random.Uniform(0, 4));
  engine.AddWeightedRule(engine.growthRules,
                         "K " ARROW " *0.96=D *0.96=L c [+(5) *2=L *0.66=D B] *0.9=" E_ACUTE " /((90:150)) K", nullptr,
                         0.35f);
  engine.AddWeightedRule(engine.growthRules, "K " ARROW " *0.98=D *0.98=L c K", nullptr, 0.65f);
#define STALK "#(1)&((-5:5))c" E_ACUTE "*0.95=Dc" E_ACUTE "*0.95=Dc" E_ACUTE "*0.95=Dc" E_ACUTE "*0.95=Dc"
  engine.AddWeightedRule(engine.finalRules, "B " ARROW " " STALK "*(1.8:2)=L *0.37=D #(2) " SECTION "(w,(1.25:2)) P",
                         nullptr, 0.5f);
  engine.AddWeightedRule(engine.finalRules, "B " ARROW " " STALK "*(1.8:2)=L *0.37=D #(2) " SECTION "(w,(-2:-1.25)) P",
                         nullptr, 0.5f);
#undef STALK
  engine.AddRule(engine.finalRules, "K " ARROW " #(1)&((-5:5)) +(5) *2=L *0.66=Dc" E_ACUTE "*0.95=Dc" E_ACUTE
                                    "*0.95=Dc" E_ACUTE "*0.95=Dc" E_ACUTE "*0.95=Dc*(1.8:2)=L *0.37=D #(2) P");
  engine.AddRule(engine.finalRules, "T " ARROW " *0.98=D *0.98=L /((90:150)) " E_GRAVE "c");
  Repeat(engine, text, engine.growthRules, passes);
  engine.RewriteStep(text, engine.finalRules);
}

void Model7(Randomness& random, std::string& text) {
  RuleEngine engine(random);
  const double a = random.Uniform(0.75, 0.95);
  const double b = random.Uniform(0.8, 1.0) * a * 5;
  const double c = a * 4;
  text.clear();
  AppendFormat(text, SECTION "(r,30) " SECTION "(D,%.02f) " SECTION "(L,%.02f)", b, c);
  text +=
      "m(0.8) [/((100:140)) +((10:25)) m(-1) c] [/((220:260)) +((10:25)) m(-1) c] [/((-20:20)) +((10:25)) m(-1) c] K";
  engine.AddWeightedRule(engine.growthRules,
                         "K " ARROW " c *(0.92:0.96)=D " E_ACUTE
                         "+((-35:35)) /((90:150)) [+ *0.6=L *(0.7:0.9)=D K] *0.98=r *0.8=D K",
                         nullptr, 0.2f);
  engine.AddWeightedRule(engine.growthRules, "K " ARROW " c *(0.90:0.94)=D " E_ACUTE "+((-35:35)) /((25:135)) K",
                         nullptr, 0.8f);
  engine.AddRule(engine.finalRules, "K " ARROW " c");
  Repeat(engine, text, engine.growthRules, 15);
  engine.RewriteStep(text, engine.finalRules);
}

// The prefix of models 8, 14 and 17 up to its last symbols.
#define CROWN_PREFIX                                                                                             \
  "$(%.02f) " POUND "(%.02f) " SECTION "(" A_GRAVE                                                               \
  ",%.02f) m(0.8) [/((0:60)) &((10:20))m(-1)c] [/((120:180)) &((10:25))m(-1)c] [/((240:300)) &((10:25))m(-1)c] " \
  "m(-0.1) "

void Model8(Randomness& random, std::string& text) {
  RuleEngine engine(random);
  const double s = random.Uniform(0.8, 1.2) * 0.6;
  text = "#(0) A(1)";
  engine.AddRule(engine.growthRules,
                 "A(k) " ARROW " /((60:120)) [+((30:52)) *(0.85:0.95)=L *0.71=D " E_GRAVE
                 " F A(@06)] *0.98=L *0.71=D -((5:25))F" E_GRAVE "FA(@06)",
                 nullptr, BranchingWeight);
  engine.AddRule(engine.growthRules, "A(k) " ARROW " [B] *0.98=L *0.71=D -((5:25))FA(@06)", nullptr, TerminalWeight);
  engine.AddRule(engine.finalRules, "F " ARROW " C");
  engine.AddRule(engine.finalRules,
                 "A(k) " ARROW " " SECTION "(" E_ACUTE ",1) " SECTION "(D,0.25) #(1) [" E_ACUTE " " SECTION
                 "(L,2.5) +((-40:40))P][m(-0.4) " E_ACUTE " " SECTION "(L,2.5) &((60:120)) +((-40:40)) P]");
  Repeat(engine, text, engine.growthRules, 8);
  engine.RewriteStep(text, engine.finalRules);
  std::string prefix;
  AppendFormat(prefix, CROWN_PREFIX "C ", s * 6, s * 5, s * 0.15);
  Prepend(text, prefix);
}

void Model9(Randomness& random, std::string& text) {
  const double root = random.Uniform(0, 0.7);
  const double b = root * root + 0.2;
  text.clear();
  AppendFormat(text, SECTION "(w,%.02f) " SECTION "(f,%.02f)", -b, -b);
  const int stems = 15 + static_cast<int>(random.Uniform(0, 15));
  for (int i = 0; i < stems; i++) {
    const int e = 20 + random.Modulo(60);
    const double diameter = 0.7 * (0.1 + random.Uniform(0, 0.03));
    const double length = 0.7 * (0.1 + random.Uniform(0, 1) * (100 - e) * 0.00015);
    const double turn = random.Uniform(0, 360);
    AppendFormat(text, "[*%.02f=D *%.02f=L /(%.02f) +(%.0f) A]", diameter, length, turn, static_cast<double>(e));
  }
  const double diameter = random.Uniform(1, 1.5);
  const double length = random.Uniform(1, 2);
  std::string rule;
  AppendFormat(rule, "A " ARROW " #((0:1.99)) *%.02f=D *%.02f=L P", diameter, length);
  SimpleRewriteStep(text, {rule});
}

void Model10(Randomness& random, std::string& text) {
  RuleEngine engine(random);
  const double q = 0.5 + random.Uniform(-0.5, 0.5) * 0.1;
  const double m = 1 + random.Uniform(-0.5, 0.5) * 0.5;
  const int rings = static_cast<int>(1 + random.Uniform(0, 3));
  struct Ring {
    const char* format;
    int stems;
    double radius;
    double lastBase, lastRange;  // the last "$" value is (base + draw in [0, range]) x q
  };
  const Ring ringTable[3] = {
      {"[" SECTION "(P,%.2f,%.2f,0) $(%.2f) /(%.0f) +(25:35) f $(%.2f) B] ", static_cast<int>(6 * m), 0.5, 14, 21},
      {"[" SECTION "(P,%.2f,%.2f,0) $(%.2f) /(%.0f) +(15:25) f/(-90:90)+(-10:10)" E_ACUTE "f $(%.2f) B] ",
       static_cast<int>(12 * m), 0.3, 16, 10},
      {"[" SECTION "(P,%.2f,%.2f,0) $(%.2f) /(%.0f) +(8:20) f/(-90:90)+(-10:10)" E_ACUTE "f/(-90:90)+(-10:10)" E_ACUTE
       "f $(%.2f) B] ",
       static_cast<int>(12 * m), 0.15, 14, 3},
  };
  text = "#(0) ";
  for (int r = 0; r < rings && r < 3; r++) {
    const Ring& ring = ringTable[r];
    for (int i = 0; i < ring.stems; i++) {
      const double theta = 2 * Pi * i / ring.stems;
      const double x = std::cos(theta) * ring.radius + random.Uniform(-0.2 * ring.radius, 0.2 * ring.radius);
      const double y = std::sin(theta) * ring.radius + random.Uniform(-0.2 * ring.radius, 0.2 * ring.radius);
      const double first = (18 + random.Uniform(0, 3)) * q;
      const double along = theta + random.Uniform(0, 0.3);
      const double turn = along * DegreesPerRadian + random.Uniform(-25, 25);
      const double last = (ring.lastBase + random.Uniform(0, ring.lastRange)) * q;
      AppendFormat(text, ring.format, x, y, first, turn, last);
    }
  }
  engine.AddWeightedRule(engine.growthRules, "B " ARROW " *(0.9:1.1)=L *(0.9:1.1)=D [A]", nullptr, 0.5f);
  engine.AddWeightedRule(engine.growthRules, "B " ARROW " *(0.9:1.1)=L *(0.9:1.1)=D [+(15) A] [-(15)A]", nullptr, 0.5f);
#define FROND(bend, size) "[" bend "#(1) + $(" size ") *(0.7:0.8)=D " CURRENCY E_GRAVE " P] "
#define FROND_TURNED(bend, size) "[" bend "#(1) /(160:200) + $(" size ") *(0.7:0.8)=D " CURRENCY E_GRAVE " P] "
  engine.AddWeightedRule(engine.finalRules,
                         "A " ARROW " /(-30:30) " SECTION "(R,(10:30)) " FROND("m(-0.02) ", "1:1.4")
                             FROND_TURNED("", "1:1.4"),
                         nullptr, 0.5f);
  engine.AddWeightedRule(engine.finalRules,
                         "A " ARROW " /(-30:30) " SECTION "(R,(20:40)) " FROND("m(-0.25) ", "1:1.4") FROND_TURNED(
                             "m(-0.2) ", "1:1.4") "/(60:120) " SECTION "(R,(10:30)) " FROND("m(-0.02) ", "0.8:1.1")
                             FROND_TURNED("", "0.8:1.1"),
                         nullptr, 0.5f);
  engine.AddWeightedRule(
      engine.finalRules,
      "A " ARROW " /(-30:30) " SECTION "(R,(30:40)) " FROND("m(-0.5) ", "1:1.4")
          FROND_TURNED("m(-0.4) ", "1:1.4") "/(40:80) " SECTION "(R,(20:40)) " FROND("m(-0.3) ", "0.8:1.1")
              FROND_TURNED("m(-0.08) ", "0.8:1.1") "/(40:80) " SECTION "(R,(10:30)) " FROND("m(-0.05) ", "0.6:0.9")
                  FROND_TURNED("", "0.6:0.9"),
      nullptr, 0.5f);
#undef FROND
#undef FROND_TURNED
  Repeat(engine, text, engine.growthRules, 3);
  engine.RewriteStep(text, engine.finalRules);
}

void Model11(Randomness& random, std::string& text) {
  const int leaves = 40 + static_cast<int>(random.Uniform(0, 40));
  const int K = static_cast<int>(10 + random.Uniform(0, 20));
  const double d = 5 + random.Uniform(0, 10);
  text = "#(0) f ";
  for (int i = 0; i < leaves; i++) {
    const double rho = random.Uniform(0, 4);
    const double phi = random.Uniform(0, 2 * Pi);
    const double turn = phi * DegreesPerRadian - 80 + random.Uniform(0, 160);
    const double e = K + random.Uniform(0, 1) * (60 - K);
    const double roll = (random.Uniform(0, 1) - 0.5) * 10;
    const double o = (0.9 * (90 - e) / 90 + 0.1) * 7;
    const double size = (5 + random.Uniform(0, 3)) * (1 + std::exp(-(rho * rho) / d)) * (31 - K) * 0.00625;
    AppendFormat(text,
                 "[" SECTION "(P,%.2f,%.2f,%.2f) /(%.0f) +(%.0f) &(%.0f) " SECTION "(|,%.2f) " SECTION "(" NOT_SIGN
                 ",%.2f) $(%.2f) " POUND "(%.2f) P] ",
                 rho * std::cos(phi), rho * std::sin(phi), -0.2 * rho, turn, e, roll, o, 2 * o, size, 0.05 * size);
  }
}

// One leaf cluster of model 12: six whorls of leaves.
void AppendLeafCluster(Randomness& random, double e, std::string& text) {
  text += "[#(1) " SECTION "(" E_GRAVE ",0.9) " E_GRAVE;
  double r = (random.Modulo(4) + 8) * 0.8;
  if (random.Modulo(20) == 10)
    r *= 10;
  const double u = (random.Modulo(5) + 5) * 0.1 * r;
  const double spread[6] = {1.8 * r, 1.8 * r, r, 0.3 * r, 0.3 * (u - r), u - r};
  for (int i = 0; i < 6; i++) {
    text += ">((0:360))";
    const int n = static_cast<int>(random.Modulo(3) + 6 * e);
    for (int k = 0; k < n; k++) {
      const double turn = random.Modulo(40) + k * 360 / static_cast<double>(n + 1) - 20;
      const double tilt = i == 5 ? 80 : random.Modulo(60) + 15 * i - 70;
      const double length = (random.Modulo(3) + 9) * 0.64 * 0.35 * e;
      const double width = (random.Modulo(2) + 8) * 0.0288 * 0.35 * e;
      const double bend = (random.Modulo(4) + 8) * 0.1 * spread[i];
      AppendFormat(text, "[>(%.02f)&(-15:15)-(%.0f)$(%.2f)" POUND "(%.2f)+" SECTION "(|,%.02f)P]", turn, tilt, length,
                   width, bend);
    }
  }
  text += "]";
}

void Model12(Randomness& random, std::string& text) {
  RuleEngine engine(random);
  engine.conditionChecks = 0;
  const double e = GridFactor(random);
  text.clear();
  AppendFormat(text, "#(0) *0.25=L m(-1.5) f *0.85=D f *0.9=D f *0.93=D *%.2f=L FA", e * 4);
  RuleSet& growth = engine.growthRules;
  engine.AddWeightedRule(growth, "A " ARROW " f" E_GRAVE E_ACUTE " /(-90:90) +(10:20) *0.95=D A", nullptr, 0.3f);
  engine.AddWeightedRule(growth,
                         "A " ARROW " f" E_GRAVE E_ACUTE "/(-90:90) " SECTION "(" E_GRAVE ",0) " SECTION "(" E_ACUTE
                         ",0.1) *0.84=D [+(17:25) f +(17:25) *0.84=D *(0.8:1.1)=L A] [/(150:210) +(17:25) f +(17:25) "
                         "*0.84=D *(0.8:1.1)=L A]",
                         AtMostThreeTimes, 0.35f);
  engine.AddWeightedRule(growth,
                         "A " ARROW " f" E_GRAVE E_ACUTE "/(-90:90) " SECTION "(" E_GRAVE ",0) " SECTION "(" E_ACUTE
                         ",0.1) *0.76=D [+(17:25) f +(17:25) *0.76=D *(0.8:1.1)=L A] [/(90:150) +(17:25) f +(17:25) "
                         "*0.76=D *(0.8:1.1)=L A] [/(210:270) +(17:25) f +(17:25) *0.76=D *(0.8:1.1)=L A]",
                         AtMostThreeTimes, 0.35f);
  engine.AddRule(growth, "F " ARROW " f" E_GRAVE " /(-90:90) +(5:20) *0.96=D F");
  for (int i = 0; i < 10 * e; i++)
    engine.RewriteStep(text, growth);
  // Every "A" becomes a leaf cluster, first to last.
  std::string grown;
  grown.reserve(text.size() * 8);
  for (char c : text)
    if (c == 'A')
      AppendLeafCluster(random, e, grown);
    else
      grown += c;
  text = std::move(grown);
}

// The side branches shared by models 13, 14 and 17 in their first final pass.
#define SIDE_SHOOT "[*0.3=D " SECTION "(" E_ACUTE ",0.8) " E_ACUTE " " SECTION "(" E_ACUTE ",0.5) *0.85=L FB] "
#define LAST_GROWTH                                                                          \
  "A " ARROW " *0.7=D /((60:120)) " SIDE_SHOOT "[+((30:52)) *(0.85:0.95)=L *0.71=D " E_GRAVE \
  " F A] *0.98=L *0.71=D -((5:25))" E_GRAVE "FA"
#define FORK "B " ARROW " " E_ACUTE " *0.7=D +((-15:15)) /((-25:25)) [>((30:50)) fB] [<((30:50)) fB]"

void Model13(Randomness& random, std::string& text) {
  RuleEngine engine(random);
  const double s = random.Uniform(0.8, 1.2) * 0.6;
  text = "#(0) *1.5=L A";
  engine.AddWeightedRule(engine.growthRules,
                         "A " ARROW " /((60:120)) [*0.3=D " SECTION "(" E_ACUTE ",0.8) " E_ACUTE " " SECTION "(" E_ACUTE
                         ",0.5) *0.85=L FB] [+((25:45)) *(0.85:0.95)=L *0.71=D " E_GRAVE
                         " F A] *0.98=L *0.71=D -((25:45))" E_GRAVE "FA",
                         nullptr, 0.6f);
  engine.AddWeightedRule(engine.growthRules,
                         "A " ARROW " /(90) *0.85=L [*0.3=D " SECTION "(" E_ACUTE ",0.8) " E_ACUTE " " SECTION
                         "(" E_ACUTE ",0.5) *0.9=L FB] *0.9=D -((5:15))" E_GRAVE "FA",
                         nullptr, 0.4f);
  engine.AddRule(engine.finalRules, "F " ARROW " C");
  engine.AddRule(engine.finalRules, LAST_GROWTH);
  engine.AddRule(engine.finalRules, FORK);
  Repeat(engine, text, engine.growthRules, 7);
  engine.RewriteStep(text, engine.finalRules);
  engine.finalRules.clear();
  engine.AddRule(engine.finalRules,
                 "A " ARROW " " POUND "(0.25) " SECTION "(" E_ACUTE ",1) #(1) [" E_ACUTE " " SECTION
                 "(L,2.5) ^((60:120)) +((-20:20))P][m(-0.7) " E_ACUTE " " SECTION "(L,2.5) &((60:120)) +((-30:30)) P]");
  engine.AddRule(engine.finalRules, "B " ARROW " [" POUND "(0.25) " SECTION "(" E_ACUTE ",1) #(1) [" E_ACUTE " " SECTION
                                    "(L,2.5) ^((60:120)) +((-20:20))P][m(-0.7) " E_ACUTE " " SECTION
                                    "(L,2.5) &((60:120)) +((-30:30)) P]]");
  engine.RewriteStep(text, engine.finalRules);
  std::string prefix;
  AppendFormat(prefix,
               "$(%.02f) " POUND
               "(%.02f) *2=L *0.125=L m(-1.5) f *0.83=D f *0.9=D f *0.93=D *4=L C +((1:4)) &((1:4)) C *2=L",
               s * 6, s * 5);
  Prepend(text, prefix);
}

void Model14(Randomness& random, std::string& text) {
  RuleEngine engine(random);
  const double s = random.Uniform(0.8, 1.2) * 0.6;
  text = "#(0) A *0.7=L ";
  engine.AddWeightedRule(engine.growthRules,
                         "A " ARROW " /((60:120)) [+((30:42)) *(0.85:0.95)=L *0.71=D " E_ACUTE
                         " F A] *0.98=L *0.71=D -((30:42))" E_ACUTE "FA",
                         nullptr, 0.5f);
  engine.AddWeightedRule(engine.growthRules, "A " ARROW " *0.98=L *0.71=D -((-15:15))" E_ACUTE "FA", nullptr, 0.5f);
  engine.AddRule(engine.finalRules, "F " ARROW " C");
  engine.AddRule(engine.finalRules, LAST_GROWTH);
  Repeat(engine, text, engine.growthRules, 7);
  engine.RewriteStep(text, engine.finalRules);
  engine.finalRules.clear();
  engine.AddRule(engine.finalRules,
                 "A " ARROW " " SECTION "(" E_ACUTE ",1) " SECTION "(D,0.25) #(1) [" E_ACUTE " " SECTION
                 "(L,2) +((-40:40))P][m(-0.7) " E_ACUTE " " SECTION "(L,2) &((60:120)) +((-40:40)) P]");
  engine.RewriteStep(text, engine.finalRules);
  std::string prefix;
  AppendFormat(prefix, CROWN_PREFIX "C ", s * 6, s * 5, s * 0.15);
  Prepend(text, prefix);
}

void Model15(Randomness& random, std::string& text) {
  RuleEngine engine(random);
  const double s = random.Uniform(0.8, 1.2) * 0.6;
  text = "#(0) A";
#define SHOOT "[*0.2=D *(0.5:0.6)=L +B] "
  engine.AddWeightedRule(engine.growthRules,
                         "A " ARROW " /((60:120)) " SHOOT "/(120) " SHOOT "/(120) " SHOOT "*0.98=L *0.71=D " E_GRAVE
                         "EF *1.1=" E_GRAVE " *1.1=" NOT_SIGN " A",
                         nullptr, 0.3f);
  engine.AddWeightedRule(engine.growthRules,
                         "A " ARROW " /((60:120)) " SHOOT "/(180) " SHOOT "*0.98=L *0.71=D " E_GRAVE "E F*1.1=" E_GRAVE
                         " *1.1=" NOT_SIGN " A",
                         nullptr, 0.3f);
  engine.AddWeightedRule(engine.growthRules,
                         "A " ARROW " /((60:120))  " SHOOT "*0.98=L *0.71=D EF *1.1=" E_GRAVE " *1.1=" NOT_SIGN " A",
                         nullptr, 0.3f);
#undef SHOOT
  engine.AddRule(engine.finalRules, "B " ARROW " F" E_GRAVE "[" POUND "(0.5) " SECTION "(" E_ACUTE ",1) #(1) [" E_ACUTE
                                    " " SECTION "(L,2.5) ^((0:10)) >((-90:90)) +((-10:10))P][m(-0.3) " E_ACUTE
                                    " " SECTION "(L,2.5) >((-90:90)) &((0:10)) +((-10:10)) P][m(-0.6) " E_ACUTE
                                    " " SECTION "(L,2.5) >((-90:90)) &((0:10)) +((-10:10)) P]]B");
  Repeat(engine, text, engine.growthRules, 9);
  Repeat(engine, text, engine.finalRules, 3);
#define TOP_LEAVES                                                         \
  " [" POUND "(0.5) " SECTION "(" E_ACUTE ",1) #(1) [" E_ACUTE " " SECTION \
  "(L,2.5) ^((0:10)) +((-10:10))P][m(-0.5) " E_ACUTE " " SECTION           \
  "(L,2.5) >((-20:20)) &((0:10)) "                                         \
  "+((-10:10)) P]]"
  engine.AddRule(engine.finalRules, "A " ARROW TOP_LEAVES);
  engine.AddRule(engine.finalRules, "E " ARROW TOP_LEAVES);
#undef TOP_LEAVES
  engine.RewriteStep(text, engine.finalRules);
  std::string prefix;
  AppendFormat(prefix, "$(%.02f) " POUND "(%.02f) *3=L ", s * 6, s * 5);
  Prepend(text, prefix);
}

void Model16(Randomness& random, std::string& text) {
  RuleEngine engine(random);
  const double s = random.Uniform(0.8, 1.2) * 1.2;
  text = "#(0) A";
  engine.AddWeightedRule(engine.growthRules,
                         "A " ARROW " /((0:360)) [+((20:72)) *(0.85:0.95)=L *0.7=D " E_GRAVE
                         " F A] B *0.98=L *0.7=D -((20:72))" E_ACUTE "F/((0:360))+((-30:30)) *0.9=D FA",
                         nullptr, 0.6f);
  engine.AddWeightedRule(engine.growthRules,
                         "A " ARROW " /((0:360)) *0.85=L *0.7=D -((0:60))F" E_GRAVE
                         "/((0:360))+((-30:30)) [/((0:360)) +((30:50)) fB] *0.9=D FA",
                         nullptr, 0.4f);
  engine.AddRule(engine.finalRules, "A " ARROW " " POUND "(0.13) " SECTION "(" E_ACUTE ",0.7) #(1) [ " SECTION
                                    "(L,1.3) ^((-60:60)) +((-20:20))P]");
  engine.AddRule(engine.finalRules, "B " ARROW " [" POUND "(0.13) " SECTION "(" E_ACUTE ",0.7) #(1) [ " SECTION
                                    "(L,1.3) ^((-60:60)) +((-20:20))P]]");
  Repeat(engine, text, engine.growthRules, 7);
  engine.RewriteStep(text, engine.finalRules);
  std::string prefix;
  AppendFormat(prefix,
               "/((0:360))+((-30:30)) $(%.02f) " POUND
               "(%.02f) C [+((30:60)) *0.1=D C] /((0:360))+((-30:30)) *0.9=D C [+((30:60)) *0.1=D C] " E_GRAVE
               " *0.6=L",
               s * 6, s * 5);
  Prepend(text, prefix);
}

void Model17(Randomness& random, std::string& text) {
  RuleEngine engine(random);
  const double s = random.Uniform(0.8, 1.2) * 0.6;
  text = "#(0) [+((20:52)) *(0.85:0.95)=L *0.71=D " E_ACUTE " F A] *0.98=L *0.71=D -((20:32))" E_ACUTE "FA";
  engine.AddWeightedRule(engine.growthRules,
                         "A " ARROW " /((60:120)) " SIDE_SHOOT "[+((25:52)) *(0.85:0.95)=L *0.71=D " E_ACUTE
                         " F A] *0.98=L *0.71=D -((20:32))" E_ACUTE "FA",
                         nullptr, 0.4f);
  engine.AddWeightedRule(engine.growthRules, "A " ARROW " *0.98=L " SIDE_SHOOT "*0.71=D -((-15:15))" E_ACUTE "FA",
                         nullptr, 0.6f);
  engine.AddRule(engine.finalRules, "F " ARROW " C");
  engine.AddRule(engine.finalRules, LAST_GROWTH);
  engine.AddRule(engine.finalRules, FORK);
  Repeat(engine, text, engine.growthRules, 5);
  engine.RewriteStep(text, engine.finalRules);
  engine.finalRules.clear();
  engine.AddRule(engine.finalRules,
                 "A " ARROW " " SECTION "(" E_ACUTE ",1) " SECTION "(D,0.35) #(1) [" E_ACUTE " " SECTION
                 "(L,1.5) +((-40:40))P][m(-0.7) " E_ACUTE " " SECTION "(L,1.5) &((60:120)) +((-40:40)) P]");
  engine.AddRule(engine.finalRules, "B " ARROW " [" POUND "(0.35) " SECTION "(" E_ACUTE ",1) #(1) [" E_ACUTE " " SECTION
                                    "(L,1.5) ^((60:120)) +((-20:20))P][m(-0.7) " E_ACUTE " " SECTION
                                    "(L,1.5) &((60:120)) +((-30:30)) P]]");
  engine.RewriteStep(text, engine.finalRules);
  std::string prefix;
  AppendFormat(prefix, CROWN_PREFIX "CCC", s * 6, s * 5, s * 0.15);
  Prepend(text, prefix);
}

using SpeciesGenerator = void (*)(Randomness&, std::string&);
constexpr SpeciesGenerator Species[] = {Model0, Model1,  Model2,  Model3,  Model4,  Model5,  Model6,  Model7,  Model8,
                                        Model9, Model10, Model11, Model12, Model13, Model14, Model15, Model16, Model17};
static_assert(sizeof Species / sizeof Species[0] == 18);

}  // namespace

bool GrowSpecies(int model, Randomness& random, std::string& out) {
  if (model < 0 || model >= 18)
    return false;
  std::string text;
  Species[model](random, text);
  Lowercase(text);
  out = std::move(text);
  return true;
}

}  // namespace biosphere
