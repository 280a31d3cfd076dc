// The process-wide noise tables and the small table-driven random generator. InitNoise
// builds the tables (identically on every run) before any rendering; FreeNoiseData
// releases them at the end.
#pragma once

// Builds the permutation, the gradient table and the fractal patch, in that order. When
// a table cannot be allocated, shows the out-of-memory message, prints the table's
// label, asks the host to quit (PostQuitMessage) and builds nothing further.
void InitNoise();
// Frees the allocated tables. Until InitNoise runs again the noise functions read
// all-zero tables (flat noise) instead of freed memory.
void FreeNoiseData();

// The fast generator: a cursor into the permutation, period 4096. Single-threaded.
void SetFastRandomSeed(int seed);
// The permutation entry at the cursor (0..4095); advances the cursor.
int FastRandom();
// The same draw scaled by 2^-12: a value in [0, 1) in 4096 equal steps.
float FastRandomFloat();

// A cell of the 64 x 64 fractal height patch, values in [0, 1]; both indices wrap with
// period 64 (negative ones too).
float GetFromFractalPatch(int i, int j);

// Floor of x as an integer.
int E(float x);
