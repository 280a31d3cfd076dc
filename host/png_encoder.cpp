#include "host/png_encoder.h"

#include <libdeflate.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <new>
#include <utility>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "host/png_filter.h"

namespace {

// Filtered bytes deflated as one block with codes of its own: blocks this size follow a
// picture's changes closely enough that files come out as small as zlib's (0.2 % smaller
// over the examples), and the codes cost little beside the block.
constexpr size_t BlockBytes = 32 << 10;
constexpr size_t RowFront = 16;  // zero bytes before each row buffer: the pixel left of the first

constexpr int LiteralSymbols = 286, DistanceSymbols = 30, CodeLengthSymbols = 19;
constexpr int EndOfBlock = 256;
constexpr int MaxCodeBits = 15, MaxCodeLengthBits = 7;
constexpr int LongestRun = 258;

// The length symbols of runs of 3 to 258 bytes: symbol 257 + index, with its extra bits.
struct RunLength {
  uint8_t index, extraBits;
  uint16_t extra;
};
const std::array<RunLength, LongestRun + 1>& RunLengths() {
  static const std::array<RunLength, LongestRun + 1> table = [] {
    static constexpr uint16_t base[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                          31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
    static constexpr uint8_t extraBits[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                              2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
    std::array<RunLength, LongestRun + 1> lengths{};
    for (uint8_t i = 0; i < 29; i++)
      for (int length = base[i]; length <= LongestRun && length < base[i] + (1 << extraBits[i]); length++)
        lengths[length] = {i, extraBits[i], static_cast<uint16_t>(length - base[i])};
    lengths[LongestRun] = {28, 0, 0};  // 258 has a symbol of its own
    return lengths;
  }();
  return table;
}

// Bits written least significant first, as deflate packs them, four bytes at a time.
struct BitWriter {
  uint8_t* out;
  size_t bytes;
  uint64_t bits;
  int count;

  void Put(uint32_t value, int n) {
    bits |= static_cast<uint64_t>(value) << count;
    count += n;
    if (count >= 32) {
      for (int k = 0; k < 4; k++)
        out[bytes + k] = static_cast<uint8_t>(bits >> (8 * k));
      bytes += 4;
      bits >>= 32;
      count -= 32;
    }
  }
  // Up to 56 bits when fewer than 8 are waiting: eight bytes are stored whatever their
  // number, and the whole ones kept (the buffer has slack behind).
  void PutShort(uint64_t value, int n) {
    bits |= value << count;
    count += n;
    if constexpr (std::endian::native == std::endian::little) {
      std::memcpy(out + bytes, &bits, 8);
    } else {
      for (int k = 0; k < 8; k++)
        out[bytes + k] = static_cast<uint8_t>(bits >> (8 * k));
    }
    bytes += static_cast<size_t>(count >> 3);
    bits >>= count & ~7;
    count &= 7;
  }
  // Moves the whole bytes out; fewer than 8 bits stay.
  void WholeBytes() {
    for (; count >= 8; count -= 8, bits >>= 8)
      out[bytes++] = static_cast<uint8_t>(bits);
  }
  void PadToByte() {
    WholeBytes();
    if (count > 0)
      out[bytes++] = static_cast<uint8_t>(bits);
    bits = 0;
    count = 0;
  }
};

// Code lengths for the symbols of the given frequencies, none longer than maxBits: the
// lengths of a Huffman code, with the leaves deeper than maxBits lifted to it and shorter
// codes lengthened until the code is complete again. Every used symbol gets a code, and at
// least two symbols do (a one-symbol code is incomplete, which inflaters refuse).
void CodeLengths(uint32_t* frequency, int symbols, int maxBits, uint8_t* lengths) {
  int used = 0;
  for (int s = 0; s < symbols; s++)
    used += frequency[s] ? 1 : 0;
  for (int s = 0; s < symbols && used < 2; s++)
    if (!frequency[s]) {
      frequency[s] = 1;
      used++;
    }
  // Symbols by rising frequency, then two queues: the leaves, and the nodes made from them
  // (made in rising order of weight, so the lighter front of either queue is the lightest).
  std::array<uint64_t, LiteralSymbols> order;
  int n = 0;
  for (int s = 0; s < symbols; s++)
    if (frequency[s])
      order[n++] = static_cast<uint64_t>(frequency[s]) << 16 | static_cast<uint64_t>(s);
  std::sort(order.begin(), order.begin() + n);
  std::array<uint64_t, 2 * LiteralSymbols> weight;
  std::array<int, 2 * LiteralSymbols> parentOrDepth;
  for (int i = 0; i < n; i++)
    weight[i] = order[i] >> 16;
  int leaf = 0, node = n;
  for (int next = n; next < 2 * n - 1; next++) {
    int pick[2];
    for (int& p : pick)
      p = leaf < n && (node >= next || weight[leaf] <= weight[node]) ? leaf++ : node++;
    weight[next] = weight[pick[0]] + weight[pick[1]];
    parentOrDepth[pick[0]] = parentOrDepth[pick[1]] = next;
  }
  // Parents come after their children: depths from the root down.
  parentOrDepth[2 * n - 2] = 0;
  for (int i = 2 * n - 3; i >= 0; i--)
    parentOrDepth[i] = parentOrDepth[parentOrDepth[i]] + 1;
  std::array<uint32_t, MaxCodeBits + 1> codesOfLength{};
  for (int i = 0; i < n; i++)
    codesOfLength[std::min(parentOrDepth[i], maxBits)]++;
  // Each step takes one code of the longest length away and splits a shorter code in two.
  uint32_t total = 0;
  for (int bits = 1; bits <= maxBits; bits++)
    total += codesOfLength[bits] << (maxBits - bits);
  for (; total > (1u << maxBits); total--) {
    codesOfLength[maxBits]--;
    for (int bits = maxBits - 1; bits > 0; bits--)
      if (codesOfLength[bits]) {
        codesOfLength[bits]--;
        codesOfLength[bits + 1] += 2;
        break;
      }
  }
  std::fill(lengths, lengths + symbols, 0);
  for (int bits = maxBits, i = 0; bits > 0; bits--)
    for (uint32_t k = 0; k < codesOfLength[bits]; k++)
      lengths[order[i++] & 0xFFFF] = static_cast<uint8_t>(bits);
}

// The canonical codes of the lengths, bit-reversed to be written least significant first.
void CanonicalCodes(const uint8_t* lengths, int symbols, uint16_t* codes) {
  std::array<uint32_t, MaxCodeBits + 1> count{}, next{};
  for (int s = 0; s < symbols; s++)
    count[lengths[s]]++;
  count[0] = 0;  // unused symbols take no codes
  for (uint32_t bits = 1, code = 0; bits <= MaxCodeBits; bits++) {
    code = (code + count[bits - 1]) << 1;
    next[bits] = code;  // the first code of this length
  }
  for (int s = 0; s < symbols; s++) {
    const int bits = lengths[s];
    if (!bits)
      continue;
    uint32_t code = next[bits]++, reversed = 0;
    for (int k = 0; k < bits; k++, code >>= 1)
      reversed = reversed << 1 | (code & 1);
    codes[s] = static_cast<uint16_t>(reversed);
  }
}

#ifdef __SSE2__
__m128i Abs16(__m128i v) { return _mm_max_epi16(v, _mm_sub_epi16(_mm_setzero_si128(), v)); }

// The predictor on eight 16-bit lanes, choosing exactly as PaethPredictor does.
__m128i PaethPredictor16(__m128i a, __m128i b, __m128i c) {
  const __m128i pa = Abs16(_mm_sub_epi16(b, c));
  const __m128i pb = Abs16(_mm_sub_epi16(a, c));
  const __m128i pc = Abs16(_mm_add_epi16(_mm_sub_epi16(a, c), _mm_sub_epi16(b, c)));
  const __m128i notA = _mm_or_si128(_mm_cmpgt_epi16(pa, pb), _mm_cmpgt_epi16(pa, pc));
  const __m128i notB = _mm_cmpgt_epi16(pb, pc);
  const __m128i bOrC = _mm_or_si128(_mm_and_si128(notB, c), _mm_andnot_si128(notB, b));
  return _mm_or_si128(_mm_and_si128(notA, bOrC), _mm_andnot_si128(notA, a));
}
#endif

// Paeth-filters a row of RGB bytes against the row above; both have zero bytes before them.
void PaethFilter(const uint8_t* row, const uint8_t* prior, uint8_t* out, size_t bytes) {
  size_t i = 0;
#ifdef __SSE2__
  const __m128i zero = _mm_setzero_si128();
  auto load = [](const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); };
  for (; i + 16 <= bytes; i += 16) {
    const __m128i a = load(row + i - 3), b = load(prior + i), c = load(prior + i - 3);
    const __m128i low =
        PaethPredictor16(_mm_unpacklo_epi8(a, zero), _mm_unpacklo_epi8(b, zero), _mm_unpacklo_epi8(c, zero));
    const __m128i high =
        PaethPredictor16(_mm_unpackhi_epi8(a, zero), _mm_unpackhi_epi8(b, zero), _mm_unpackhi_epi8(c, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_sub_epi8(load(row + i), _mm_packus_epi16(low, high)));
  }
#endif
  for (; i < bytes; i++)
    out[i] = static_cast<uint8_t>(row[i] - PaethPredictor(row[i - 3], prior[i], prior[i - 3]));
}

void PutBigEndian32(uint8_t* at, uint32_t value) {
  for (int k = 0; k < 4; k++)
    at[k] = static_cast<uint8_t>(value >> (24 - 8 * k));
}

}  // namespace

PngEncoder::PngEncoder(int width, int height, Output output)
    : width(width), height(height), rowBytes(static_cast<size_t>(width) * 3), output(std::move(output)) {
  try {
    previousRow.assign(RowFront + rowBytes, 0);
    currentRow.assign(RowFront + rowBytes, 0);
    filtered.resize(BlockBytes + rowBytes + 1 + 2);
    tokens.resize(filtered.size());
    // Header and code lengths, then at most 15 bits for a byte (a literal) or a run.
    compressed.resize(2 * filtered.size() + 4096);
  } catch (const std::bad_alloc&) {
    failed = outOfMemory = true;
    return;
  }
  uint8_t header[13] = {};
  PutBigEndian32(header, static_cast<uint32_t>(width));
  PutBigEndian32(header + 4, static_cast<uint32_t>(height));
  header[8] = 8;  // bits per sample
  header[9] = 2;  // RGB
  failed = !this->output("\x89PNG\r\n\x1a\n", 8) || !Chunk("IHDR", header, sizeof header);
  // The zlib stream's header: deflate with a 32 KiB window, no dictionary.
  compressed[0] = 0x78;
  compressed[1] = 0x01;
  compressedBytes = 2;
}

bool PngEncoder::Row(const uint8_t* rgb) {
  if (failed || rowsDone >= height)
    return false;
  std::memcpy(currentRow.data() + RowFront, rgb, rowBytes);
  filtered[filteredBytes++] = 4;  // Paeth
  PaethFilter(currentRow.data() + RowFront, previousRow.data() + RowFront, filtered.data() + filteredBytes, rowBytes);
  filteredBytes += rowBytes;
  std::swap(previousRow, currentRow);
  if (++rowsDone == height) {
    DeflateBlock(true);
    if (!failed)
      failed = !Chunk("IEND", nullptr, 0);
  } else if (filteredBytes >= BlockBytes) {
    DeflateBlock(false);
  }
  return !failed;
}

// Deflates the filtered rows as one block with codes of their own. A byte that repeats the
// one before it at least three times is a run (a copy from one byte back), as zlib's run
// strategy finds them; everything else is a literal.
void PngEncoder::DeflateBlock(bool last) {
  const uint8_t* data = filtered.data();
  const size_t n = filteredBytes;
  const auto& runLengths = RunLengths();
  // Literals are counted in four tables in turn: repeated bytes would otherwise wait on
  // each other's count.
  std::array<std::array<uint32_t, 256>, 4> byteCount{};
  std::array<uint32_t, LiteralSymbols> literalCount{};
  std::array<uint32_t, DistanceSymbols> distanceCount{};
  size_t tokenCount = 0;
  int previous = lastByte;
  for (size_t i = 0; i < n;) {
    // Tested without branches between the parts: whether a byte repeats the one before is
    // as good as random in filtered rows. Two bytes of slack lie past the block.
    const int byte = data[i];
    if ((byte == previous) & (data[i + 1] == byte) & (data[i + 2] == byte) & (i + 2 < n)) {
      const size_t limit = std::min<size_t>(LongestRun, n - i);
      size_t run = 3;
      const uint64_t pattern = 0x0101010101010101ull * static_cast<uint64_t>(byte);
      for (; run + 8 <= limit; run += 8) {
        uint64_t word;
        std::memcpy(&word, data + i + run, 8);
        if (word != pattern)
          break;
      }
      while (run < limit && data[i + run] == byte)
        run++;
      tokens[tokenCount++] = static_cast<uint16_t>(EndOfBlock + run);
      literalCount[EndOfBlock + 1 + runLengths[run].index]++;
      distanceCount[0]++;
      i += run;
      continue;
    }
    tokens[tokenCount] = static_cast<uint16_t>(byte);
    byteCount[tokenCount & 3][byte]++;
    tokenCount++;
    previous = byte;
    i++;
  }
  for (int b = 0; b < 256; b++)
    literalCount[b] = byteCount[0][b] + byteCount[1][b] + byteCount[2][b] + byteCount[3][b];
  literalCount[EndOfBlock] = 1;
  lastByte = previous;
  adler = libdeflate_adler32(adler, data, n);
  filteredBytes = 0;

  std::array<uint8_t, LiteralSymbols> literalLengths;
  std::array<uint8_t, DistanceSymbols> distanceLengths;
  CodeLengths(literalCount.data(), LiteralSymbols, MaxCodeBits, literalLengths.data());
  CodeLengths(distanceCount.data(), DistanceSymbols, MaxCodeBits, distanceLengths.data());
  int literals = LiteralSymbols, distances = DistanceSymbols;
  while (literals > 257 && !literalLengths[literals - 1])
    literals--;
  while (distances > 1 && !distanceLengths[distances - 1])
    distances--;
  // Both codes' lengths are sent as one sequence.
  std::array<uint8_t, LiteralSymbols + DistanceSymbols> lengths;
  std::copy(literalLengths.begin(), literalLengths.begin() + literals, lengths.begin());
  std::copy(distanceLengths.begin(), distanceLengths.begin() + distances, lengths.begin() + literals);

  // The code lengths, sent as runs: 16 repeats the last length 3-6 times, 17 and 18 give
  // 3-10 and 11-138 zeros.
  struct LengthToken {
    uint8_t symbol, extra;
  };
  std::array<LengthToken, LiteralSymbols + DistanceSymbols> lengthTokens;
  std::array<uint32_t, CodeLengthSymbols> lengthCount{};
  int lengthTokenCount = 0;
  auto lengthToken = [&](int symbol, int extra) {
    lengthTokens[lengthTokenCount++] = {static_cast<uint8_t>(symbol), static_cast<uint8_t>(extra)};
    lengthCount[symbol]++;
  };
  const int allLengths = literals + distances;
  for (int i = 0; i < allLengths;) {
    const int length = lengths[i];
    int run = 1;
    while (i + run < allLengths && lengths[i + run] == length)
      run++;
    i += run;
    if (length == 0) {
      for (; run >= 11; run -= std::min(run, 138))
        lengthToken(18, std::min(run, 138) - 11);
      if (run >= 3) {
        lengthToken(17, run - 3);
        run = 0;
      }
    } else {
      lengthToken(length, 0);
      run--;
      for (; run >= 3; run -= std::min(run, 6))
        lengthToken(16, std::min(run, 6) - 3);
    }
    for (; run > 0; run--)
      lengthToken(length, 0);
  }
  std::array<uint8_t, CodeLengthSymbols> lengthLengths;
  CodeLengths(lengthCount.data(), CodeLengthSymbols, MaxCodeLengthBits, lengthLengths.data());
  static constexpr uint8_t lengthOrder[CodeLengthSymbols] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                             11, 4,  12, 3, 13, 2, 14, 1, 15};
  int lengthLengthCount = CodeLengthSymbols;
  while (lengthLengthCount > 4 && !lengthLengths[lengthOrder[lengthLengthCount - 1]])
    lengthLengthCount--;

  std::array<uint16_t, LiteralSymbols> literalCodes;
  std::array<uint16_t, DistanceSymbols> distanceCodes;
  std::array<uint16_t, CodeLengthSymbols> lengthCodes;
  CanonicalCodes(literalLengths.data(), LiteralSymbols, literalCodes.data());
  CanonicalCodes(distanceLengths.data(), DistanceSymbols, distanceCodes.data());
  CanonicalCodes(lengthLengths.data(), CodeLengthSymbols, lengthCodes.data());

  BitWriter out{compressed.data(), compressedBytes, bits, bitCount};
  out.Put(last ? 1 : 0, 1);
  out.Put(2, 2);  // codes of its own
  out.Put(literals - 257, 5);
  out.Put(distances - 1, 5);
  out.Put(lengthLengthCount - 4, 4);
  for (int k = 0; k < lengthLengthCount; k++)
    out.Put(lengthLengths[lengthOrder[k]], 3);
  static constexpr uint8_t lengthExtraBits[3] = {2, 3, 7};
  for (int k = 0; k < lengthTokenCount; k++) {
    const LengthToken t = lengthTokens[k];
    out.Put(lengthCodes[t.symbol], lengthLengths[t.symbol]);
    if (t.symbol >= 16)
      out.Put(t.extra, lengthExtraBits[t.symbol - 16]);
  }
  // Every token's bits at once: a literal's code, or a run's length code, extra bits and
  // the one-byte distance's code (35 bits at most).
  struct TokenBits {
    uint64_t bits;
    uint32_t count;
  };
  std::array<TokenBits, EndOfBlock + LongestRun + 1> tokenBits;
  for (int byte = 0; byte < EndOfBlock; byte++)
    tokenBits[byte] = {literalCodes[byte], literalLengths[byte]};
  for (int length = 3; length <= LongestRun; length++) {
    const RunLength& run = runLengths[length];
    const int symbol = EndOfBlock + 1 + run.index;
    const int count = literalLengths[symbol] + run.extraBits;
    tokenBits[EndOfBlock + length] = {literalCodes[symbol] |
                                          static_cast<uint64_t>(run.extra) << literalLengths[symbol] |
                                          static_cast<uint64_t>(distanceCodes[0]) << count,
                                      static_cast<uint32_t>(count + distanceLengths[0])};
  }
  out.WholeBytes();
  for (size_t k = 0; k < tokenCount; k++)
    out.PutShort(tokenBits[tokens[k]].bits, tokenBits[tokens[k]].count);
  out.Put(literalCodes[EndOfBlock], literalLengths[EndOfBlock]);
  if (last) {
    out.PadToByte();
    PutBigEndian32(out.out + out.bytes, adler);
    out.bytes += 4;
  } else {
    out.WholeBytes();
  }
  bits = out.bits;
  bitCount = out.count;
  failed = !Chunk("IDAT", compressed.data(), out.bytes);
  compressedBytes = 0;
}

bool PngEncoder::Chunk(const char type[4], const uint8_t* data, size_t size) {
  uint8_t head[8];
  PutBigEndian32(head, static_cast<uint32_t>(size));
  std::memcpy(head + 4, type, 4);
  uint8_t crc[4];
  const uint32_t typeCrc = libdeflate_crc32(0, type, 4);
  PutBigEndian32(crc, size ? libdeflate_crc32(typeCrc, data, size) : typeCrc);
  return output(head, 8) && (size == 0 || output(data, size)) && output(crc, 4);
}
