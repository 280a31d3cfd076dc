#include "engine/functions/filter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "tests/printers.h"

namespace {

FILTRE LinearKey(int16_t position, int16_t value) {
  FILTRE k;
  k.Linear = FLTR(position, value);
  return k;
}

FILTRE SmoothKey(int16_t end, float a, float b, float c, float d) {
  FILTRE k;
  k.SmoothSegment = FLTRLISSE(end, a, b, c, d);
  return k;
}

FiltreNumerique FilterOf(std::initializer_list<FILTRE> keys, bool smooth = false) {
  FiltreNumerique f;
  f.Keys.Flush();
  for (const FILTRE& k : keys)
    f.Keys.Add(k);
  f.Smooth = smooth;
  return f;
}

TEST(Filter, DefaultIsABypassedIdentityRamp) {
  FiltreNumerique f;
  EXPECT_TRUE(f.Bypass);
  EXPECT_FALSE(f.Smooth);
  EXPECT_FALSE(f.FilterFlag3);
  ASSERT_EQ(f.Keys.Count(), 1);
  const FILTRE& k = f.Keys[0];
  EXPECT_EQ(k.Linear, FLTR(10000, 10000));
  EXPECT_EQ(int(k.Editable.Status), -1);
  EXPECT_EQ(k.FloatKey, FLTRFLT(0, 0.0f));
  EXPECT_EQ(k.SmoothSegment, FLTRLISSE(10000, 0, 0, 1, 0));
  EXPECT_FLOAT_EQ(ExtraireFiltre(5000, &f), 0.5f);
  EXPECT_FLOAT_EQ(ExtraireFiltre(10000, &f), 1.0f);
  EXPECT_FLOAT_EQ(ExtraireFiltre(0, &f), 0.0f);
}

TEST(Filter, FirstKeyAtZeroGivesItsValueBelowIt) {
  FiltreNumerique f = FilterOf({LinearKey(0, 2000), LinearKey(10000, 10000)});
  EXPECT_FLOAT_EQ(ExtraireFiltre(0, &f), 0.2f);
  EXPECT_FLOAT_EQ(ExtraireFiltre(-50, &f), 0.2f);
}

TEST(Filter, LinearModeAtEveryKeyAndBetweenKeys) {
  FiltreNumerique f = FilterOf({LinearKey(0, 0), LinearKey(4000, 8000), LinearKey(10000, 2000)});
  EXPECT_FLOAT_EQ(ExtraireFiltre(0, &f), 0.0f);
  EXPECT_FLOAT_EQ(ExtraireFiltre(4000, &f), 0.8f);
  EXPECT_FLOAT_EQ(ExtraireFiltre(10000, &f), 0.2f);
  EXPECT_FLOAT_EQ(ExtraireFiltre(2000, &f), 0.4f);
  EXPECT_FLOAT_EQ(ExtraireFiltre(7000, &f), 0.5f);
  const FiltreNumerique& readOnly = f;
  EXPECT_FLOAT_EQ(ExtraireFiltre(3000, &readOnly), 0.6f);
  // The fraction of the position counts, but trunc(position) picks the segment: just past
  // a key the segment below it is extended.
  EXPECT_NEAR(ExtraireFiltre(2000.5f, &f), 0.4001f, 1e-6);
  EXPECT_NEAR(ExtraireFiltre(4000.5f, &f), 0.8001f, 1e-6);
}

TEST(Filter, BelowAFirstKeyAboveZeroARampRunsFromTheOrigin) {
  FiltreNumerique f = FilterOf({LinearKey(5000, 6000), LinearKey(10000, 10000)});
  EXPECT_FLOAT_EQ(ExtraireFiltre(2500, &f), 0.3f);
  EXPECT_FLOAT_EQ(ExtraireFiltre(5000, &f), 0.6f);
  EXPECT_FLOAT_EQ(ExtraireFiltre(7500, &f), 0.8f);
}

TEST(Filter, BeyondTheLastKeyGivesItsValue) {
  FiltreNumerique linear = FilterOf({LinearKey(0, 0), LinearKey(8000, 4000)});
  EXPECT_FLOAT_EQ(ExtraireFiltre(9000, &linear), 0.4f);
  EXPECT_FLOAT_EQ(ExtraireFiltre(1e30f, &linear), 0.4f);
  FiltreNumerique smooth = FilterOf({SmoothKey(8000, 0, 0, 1, 0.7f)}, true);
  EXPECT_FLOAT_EQ(ExtraireFiltre(9000, &smooth), 0.7f);
  EXPECT_FLOAT_EQ(ExtraireFiltre(NAN, &smooth), 0.7f);
  FiltreNumerique empty = FilterOf({});
  EXPECT_EQ(ExtraireFiltre(5000, &empty), 0.0f);
}

TEST(Filter, SmoothSegmentsAreCubicsFromTheirEndAndClamped) {
  FiltreNumerique ramp = FilterOf({SmoothKey(10000, 0, 0, 1, 1)}, true);
  for (float p : {0.0f, 2500.0f, 6000.0f, 10000.0f})
    EXPECT_NEAR(ExtraireFiltre(p, &ramp), 1.0f - (10000.0f - p) / 10000.0f, 1e-6) << p;

  FiltreNumerique f = FilterOf({SmoothKey(5000, 0, 0, 0, 0.3f), SmoothKey(10000, 1, 1, 0, 0.5f)}, true);
  EXPECT_FLOAT_EQ(ExtraireFiltre(0, &f), 0.3f);
  EXPECT_FLOAT_EQ(ExtraireFiltre(5000, &f), 0.3f);
  // t = -0.25: 0.5 + 0.0625 - 0.015625.
  EXPECT_FLOAT_EQ(ExtraireFiltre(7500, &f), 0.546875f);
  EXPECT_FLOAT_EQ(ExtraireFiltre(10000, &f), 0.5f);

  FiltreNumerique high = FilterOf({SmoothKey(10000, 0, 0, 0, 2)}, true);
  FiltreNumerique low = FilterOf({SmoothKey(10000, 0, 0, 0, -1)}, true);
  EXPECT_EQ(ExtraireFiltre(5000, &high), 1.0f);
  EXPECT_EQ(ExtraireFiltre(5000, &low), 0.0f);
}

TEST(Filter, EditableRecordsCompareOnlyTheirMeaningfulFields) {
  FLLISIBLE a, b;
  a.Word1 = 5;
  EXPECT_EQ(a, b);  // both not set
  a.Status = 0;
  b.Status = 3;
  a.Word1 = b.Word1 = 1;
  a.Word3 = b.Word3 = 2;
  a.Word2 = 7;
  b.Word2 = 8;
  a.Real1 = b.Real1 = 0.5f;
  EXPECT_EQ(a, b);  // Status and Word2 are not compared
  b.Word3 = 4;
  EXPECT_FALSE(a == b);
  b.Word3 = 2;
  b.Flag = 1;
  EXPECT_FALSE(a == b);
  b.Flag = 0;
  b.Real2 = 1e-6f;
  EXPECT_FALSE(a == b);
  b.Real2 = 1e-9f;
  EXPECT_EQ(a, b);
}

TEST(Filter, EqualityIgnoresFloatAndEditableFormsButNotFlags) {
  FiltreNumerique a, b;
  b.Keys[0].FloatKey = FLTRFLT(300, 0.25f);
  b.Keys[0].Editable.Status = 2;
  b.Keys[0].Editable.Word1 = 9;
  EXPECT_EQ(a, b);
  b.Keys[0].Linear.val = 9999;
  EXPECT_FALSE(a == b);
  b = a;
  b.Keys[0].SmoothSegment.D = 0.1f;
  EXPECT_FALSE(a == b);
  b = a;
  b.FilterFlag3 = true;
  EXPECT_FALSE(a == b);
  b = a;
  b.Keys.Add(FILTRE());
  EXPECT_FALSE(a == b);
}

TEST(Filter, AssignmentCopiesFlagsAndEveryFormOfEveryKey) {
  FiltreNumerique source = FilterOf({LinearKey(0, 100), SmoothKey(10000, 1, 2, 3, 4)}, true);
  source.Bypass = false;
  source.FilterFlag3 = true;
  source.Keys[0].FloatKey = FLTRFLT(12, 3.5f);
  source.Keys[1].Editable.Status = 4;
  source.Keys[1].Editable.Real2 = 0.75f;
  FiltreNumerique target;
  target = source;
  EXPECT_EQ(target, source);
  EXPECT_EQ(target.Smooth, true);
  EXPECT_EQ(target.Bypass, false);
  ASSERT_EQ(target.Keys.Count(), 2);
  for (int i = 0; i < 2; i++)
    EXPECT_EQ(std::memcmp(&target.Keys[i], &source.Keys[i], sizeof(FILTRE)), 0) << i;
  target.RAZ();
  EXPECT_EQ(target, FiltreNumerique());
}

}  // namespace
