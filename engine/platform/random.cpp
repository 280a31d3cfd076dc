#include "engine/platform/random.h"

#include <cstring>

RandomGenerator::RandomGenerator(unsigned seed) {
  std::memset(&data, 0, sizeof(data));
  std::memset(state, 0, sizeof(state));
  // A zeroed record has no previous state for initstate_r to save into.
  initstate_r(seed, state, sizeof(state), &data);
}

int RandomGenerator::Next() {
  if (seedPending) {
    srandom_r(pendingSeed, &data);
    seedPending = false;
  }
  int32_t result = 0;
  random_r(&data, &result);
  return result % 32768;
}

void RandomGenerator::Skip(int n) {
  if (seedPending) {
    srandom_r(pendingSeed, &data);
    seedPending = false;
  }
  if (data.rand_type == 0) {  // the linear congruential generator of the smallest states
    int32_t result;
    for (; n > 0; n--)
      random_r(&data, &result);
    return;
  }
  // random_r's additive feedback step, without its result.
  int32_t* front = data.fptr;
  int32_t* rear = data.rptr;
  for (; n > 0; n--) {
    *front = static_cast<int32_t>(static_cast<uint32_t>(*front) + static_cast<uint32_t>(*rear));
    if (++front >= data.end_ptr) {
      front = data.state;
      ++rear;
    } else if (++rear >= data.end_ptr) {
      rear = data.state;
    }
  }
  data.fptr = front;
  data.rptr = rear;
}

unsigned PositionSeed(int x, int y, unsigned pictureSeed) {
  // A multiplicative mix of the three values (odd constants, wrapping arithmetic), so that
  // neighbouring positions get unrelated seeds.
  uint32_t h = pictureSeed * 0x9E3779B1u;
  h ^= static_cast<uint32_t>(x) * 0x85EBCA77u;
  h = (h << 13) | (h >> 19);
  h ^= static_cast<uint32_t>(y) * 0xC2B2AE3Du;
  h ^= h >> 16;
  h *= 0x7FEB352Du;
  h ^= h >> 15;
  return h;
}
