// Pixel sampling: the three building blocks of the caller's picture loop. SampleRect
// traces one sample, NewSampleRect spreads the samples of a pixel, StandardDiv measures
// how much they disagree so that the caller can stop when they agree.
#pragma once

#include "engine/geometry/colours.h"
#include "engine/scene/context.h"

class RandomGenerator;

// The colour seen through picture position (px, py) (pixels, fractional for sub-pixel
// samples, py upwards) and the distance to what was hit (100000000 for the sky). When the
// environment has the caller sample pixels or depth of field itself (MultiSample, or an
// aperture with Distribution and DepthOfFieldSampling), nothing is traced, the colour is
// left as it was and the result is 0.
float SampleRect(float px, float py, CLRINT& colour, TGlobalInfo* gi, TDrawInfo* di);

// Chooses sample n (0-based) of a pixel, a position in the unit square, into xs[n] and
// ys[n]: of five random candidates the first one farthest (Manhattan distance) from the
// samples 0..n-1. Draws from `generator`, or rand() when null.
void NewSampleRect(float* xs, float* ys, int n, RandomGenerator* generator = nullptr);

// The mean colour of n samples (channels truncated) and their spread: the root of the
// summed squared channel differences from the mean, divided by n. n < 1 gives black and 0.
float StandardDiv(CLRINT* samples, int n, CLRINT& mean);
