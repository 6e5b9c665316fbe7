#include "rastova/core/RVQuantizer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "common/Round.h"
#include "rastova/core/RVBitmap.h"
#include "rastova/core/RVBitmapInternal.h"
#include "rastova/core/RVUtils.h"

namespace rv {

int32_t ColorReductionMethod = -1;
int32_t NeuQuantSetting = -1;

namespace {

// Nearest integer, halves to the even neighbour, for small bounded values.
inline int32_t Nearest(double v) { return static_cast<int32_t>(std::nearbyint(v)); }

constexpr int32_t kMaxBoxes = 256;
constexpr double kNoSplit = 17523.6;

}  // namespace

// ---------------------------------------------------------------- exact colour list

// The colours in scan order with an open-addressing index for lookups.
struct TRVQuantizer::ExactList {
  std::vector<TRGB> colours;
  std::vector<uint32_t> keys;  // packed RGB + 1 (0 = empty slot)
  std::vector<int32_t> indices;
  uint32_t mask = 0;

  explicit ExactList(int32_t limit) {
    uint32_t size = 16;
    while (size < static_cast<uint32_t>(limit) * 2 + 2) size <<= 1;
    keys.assign(size, 0);
    indices.assign(size, 0);
    mask = size - 1;
  }
  static uint32_t Hash(uint32_t key) { return (key * 2654435761u) >> 7; }
  // Index of the colour, or -1.
  int32_t Find(uint32_t packed) const {
    uint32_t key = packed + 1;
    for (uint32_t slot = Hash(key) & mask;; slot = (slot + 1) & mask) {
      if (keys[slot] == key) return indices[slot];
      if (keys[slot] == 0) return -1;
    }
  }
  // Appends a new colour; returns false when it was already there.
  bool Add(uint32_t packed) {
    uint32_t key = packed + 1;
    uint32_t slot = Hash(key) & mask;
    for (; keys[slot] != 0; slot = (slot + 1) & mask)
      if (keys[slot] == key) return false;
    keys[slot] = key;
    indices[slot] = static_cast<int32_t>(colours.size());
    colours.push_back(UnpackColour(packed));
    return true;
  }
};

// ---------------------------------------------------------------- variance split

struct TRVQuantizer::VarianceState {
  struct Box {
    double variance = 0;
    double mean[3] = {0, 0, 0};  // red, green, blue in 5-bit units
    uint32_t count = 0;
    uint32_t hist[3][32] = {};  // marginal histograms: red, green, blue
    int32_t lo[3] = {0, 0, 0};
    int32_t hi[3] = {32, 32, 32};  // exclusive
  };
  std::vector<uint32_t> histogram = std::vector<uint32_t>(32768, 0);
  std::vector<Box> boxes = std::vector<Box>(kMaxBoxes);
  std::vector<uint8_t> inverse = std::vector<uint8_t>(32768, 0);
  double total = 0;
  int32_t colours = 0;
  int32_t made = 0;

  static int32_t Cell(int32_t r, int32_t g, int32_t b) { return (r << 10) | (g << 5) | b; }

  void ComputeVariance(Box& box) const {
    box.variance = 0;
    if (box.count == 0) return;
    double v = 0;
    for (int c = 0; c < 3; ++c) {
      double s1 = 0, s2 = 0;
      for (int32_t j = box.lo[c]; j < box.hi[c]; ++j) {
        s1 += double(j) * box.hist[c][j];
        s2 += double(j) * j * box.hist[c][j];
      }
      double m = s1 / box.count;
      box.mean[c] = m;
      v += s2 - m * m * box.count;
    }
    box.variance = v / total;
  }

  // Marginal histograms of a box from the 3-D histogram over the box's range.
  void Recount(Box& box) const {
    std::memset(box.hist, 0, sizeof(box.hist));
    for (int32_t r = box.lo[0]; r < box.hi[0]; ++r)
      for (int32_t g = box.lo[1]; g < box.hi[1]; ++g) {
        const uint32_t* row = &histogram[static_cast<size_t>(Cell(r, g, 0))];
        for (int32_t b = box.lo[2]; b < box.hi[2]; ++b) {
          uint32_t n = row[b];
          if (n == 0) continue;
          box.hist[0][r] += n;
          box.hist[1][g] += n;
          box.hist[2][b] += n;
        }
      }
  }

  static void Shrink(Box& box) {
    for (int c = 0; c < 3; ++c) {
      int32_t lo = box.lo[c], hi = box.hi[c];
      while (lo < hi && box.hist[c][lo] == 0) ++lo;
      while (hi > lo && box.hist[c][hi - 1] == 0) --hi;
      if (lo < hi) {
        box.lo[c] = lo;
        box.hi[c] = hi;
      }
    }
  }

  // Tries a split along channel c; returns the score (kNoSplit when it cannot split).
  double TrySplit(const Box& box, int c, Box& first, Box& second) const {
    const int32_t lo = box.lo[c], hi = box.hi[c];
    if (hi <= lo + 1) return kNoSplit;
    const double m = box.mean[c];
    const double n = box.count;
    int32_t from = Nearest((lo + m) / 2), to = Nearest((m + hi) / 2);
    // The candidates stay inside the box's bins (the upper one may round to hi).
    from = std::clamp(from, lo, hi - 1);
    to = std::clamp(to, lo, hi - 1);
    double l = 0, t = 0;
    for (int32_t j = lo; j < from; ++j) l += box.hist[c][j];
    bool scored = false;
    double bestScore = 0, bestL = 0;
    int32_t best = -1;
    for (int32_t e = from; e <= to; ++e) {
      l += box.hist[c][e];
      if (l == n) break;
      t += double(box.hist[c][e]) * e / n;
      double score = l / (n - l) * (m - t) * (m - t);
      if (!scored || score > bestScore) {
        scored = true;
        bestScore = score;
        best = e;
        bestL = l;
      }
    }
    if (!scored || bestL == 0 || n - bestL == 0) return kNoSplit;
    first = box;
    second = box;
    first.count = static_cast<uint32_t>(bestL);
    second.count = static_cast<uint32_t>(n - bestL);
    first.hi[c] = best + 1;
    second.lo[c] = best + 1;
    Recount(first);
    for (int k = 0; k < 3; ++k)
      for (int j = 0; j < 32; ++j) second.hist[k][j] = box.hist[k][j] - first.hist[k][j];
    Shrink(first);
    Shrink(second);
    ComputeVariance(first);
    ComputeVariance(second);
    return first.variance + second.variance;
  }

  void Build(TRVBitmap& bitmap, int32_t colourCount, TRGB* palette) {
    colours = std::clamp(colourCount, 1, kMaxBoxes);
    const int32_t w = bitmap.GetWidth(), h = bitmap.GetHeight();
    Box& first = boxes[0];
    {
      RowAccessScope ro(bitmap, 1);
      for (int32_t y = 0; y < h; ++y) {
        const uint8_t* p = bitmap.GetScanLine(y);
        for (int32_t x = 0; x < w; ++x, p += 3) {
          int32_t r = p[2] >> 3, g = p[1] >> 3, b = p[0] >> 3;
          ++histogram[static_cast<size_t>(Cell(r, g, b))];
          ++first.hist[0][r];
          ++first.hist[1][g];
          ++first.hist[2][b];
        }
      }
      bitmap.ReleaseFileRows();
    }
    total = double(w) * h;
    first.count = static_cast<uint32_t>(int64_t(w) * h);
    ComputeVariance(first);
    made = 1;
    while (made < colours) {
      int32_t pick = -1;
      for (int32_t i = 0; i < made; ++i)
        if (boxes[i].variance > 0 && (pick < 0 || boxes[i].variance > boxes[pick].variance)) pick = i;
      if (pick < 0) break;
      double scores[3];
      Box halves[3][2];
      for (int c = 0; c < 3; ++c) scores[c] = TrySplit(boxes[pick], c, halves[c][0], halves[c][1]);
      int chosen = -1;
      for (int c = 0; c < 3 && chosen < 0; ++c)
        if (scores[c] < kNoSplit && scores[c] <= scores[(c + 1) % 3] && scores[c] <= scores[(c + 2) % 3])
          chosen = c;
      if (chosen < 0) {
        boxes[pick].variance = 0;
        continue;
      }
      boxes[pick] = halves[chosen][0];
      boxes[made++] = halves[chosen][1];
    }
    // Palette and inverse map.
    std::vector<bool> assigned(32768, false);
    for (int32_t i = 0; i < made; ++i) {
      const Box& box = boxes[i];
      palette[i] = TRGB{static_cast<uint8_t>(std::clamp(8 * Nearest(box.mean[2]), 0, 255)),
                        static_cast<uint8_t>(std::clamp(8 * Nearest(box.mean[1]), 0, 255)),
                        static_cast<uint8_t>(std::clamp(8 * Nearest(box.mean[0]), 0, 255))};
      for (int32_t r = box.lo[0]; r < box.hi[0]; ++r)
        for (int32_t g = box.lo[1]; g < box.hi[1]; ++g)
          for (int32_t bb = box.lo[2]; bb < box.hi[2]; ++bb) {
            size_t cell = static_cast<size_t>(Cell(r, g, bb));
            inverse[cell] = static_cast<uint8_t>(i);
            assigned[cell] = true;
          }
    }
    // Cells that no box covers (colours absent from the image) take the nearest entry.
    for (int32_t cell = 0; cell < 32768; ++cell) {
      if (assigned[static_cast<size_t>(cell)]) continue;
      TRGB c{static_cast<uint8_t>((cell & 31) * 8 + 4), static_cast<uint8_t>(((cell >> 5) & 31) * 8 + 4),
             static_cast<uint8_t>((cell >> 10) * 8 + 4)};
      inverse[static_cast<size_t>(cell)] = static_cast<uint8_t>(NearestPaletteIndex(palette, made, c));
    }
  }

  int32_t Lookup(const TRGB& c) const {
    return inverse[static_cast<size_t>(Cell(c.r >> 3, c.g >> 3, c.b >> 3))];
  }
};

// ---------------------------------------------------------------- NeuQuant

struct TRVQuantizer::NeuQuantState {
  static constexpr int32_t kNetBiasShift = 4;
  static constexpr int32_t kCycles = 100;
  static constexpr int32_t kIntBiasShift = 16;
  static constexpr int32_t kIntBias = 1 << kIntBiasShift;
  static constexpr int32_t kGammaShift = 10;
  static constexpr int32_t kBetaShift = 10;
  static constexpr int32_t kBeta = kIntBias >> kBetaShift;
  static constexpr int32_t kBetaGamma = kIntBias << (kGammaShift - kBetaShift);
  static constexpr int32_t kRadiusBiasShift = 6;
  static constexpr int32_t kRadiusBias = 1 << kRadiusBiasShift;
  static constexpr int32_t kRadiusDec = 30;
  static constexpr int32_t kAlphaBiasShift = 10;
  static constexpr int32_t kInitAlpha = 1 << kAlphaBiasShift;
  static constexpr int32_t kRadBiasShift = 8;
  static constexpr int32_t kRadBias = 1 << kRadBiasShift;
  static constexpr int32_t kAlphaRadBias = 1 << (kAlphaBiasShift + kRadBiasShift);

  int32_t n = 0;
  std::vector<int32_t> network;  // n x 4: blue, green, red, original index
  std::vector<int32_t> freq, bias, radPower;
  int32_t netIndex[256] = {};
  int32_t samplingFactor = 1;
  // Answers of earlier searches: a photograph repeats its colours, the search is not cheap.
  static constexpr int32_t kCacheBits = 16;
  std::vector<uint32_t> cacheKeys = std::vector<uint32_t>(size_t(1) << kCacheBits, 0);
  std::vector<int32_t> cacheValues = std::vector<int32_t>(size_t(1) << kCacheBits, 0);

  int32_t CachedSearch(const TRGB& c) {
    const uint32_t key = ((uint32_t(c.r) << 16) | (uint32_t(c.g) << 8) | c.b) + 1;
    const size_t slot = (key * 2654435761u) >> (32 - kCacheBits);
    if (cacheKeys[slot] == key) return cacheValues[slot];
    const int32_t i = Search(c.b, c.g, c.r);
    cacheKeys[slot] = key;
    cacheValues[slot] = i;
    return i;
  }

  int32_t* Neuron(int32_t i) { return &network[static_cast<size_t>(i) * 4]; }

  void Init(int32_t size) {
    n = size;
    network.resize(static_cast<size_t>(n) * 4);
    freq.assign(static_cast<size_t>(n), kIntBias / n);
    bias.assign(static_cast<size_t>(n), 0);
    radPower.assign(static_cast<size_t>(std::max(n >> 3, 1)), 0);
    for (int32_t i = 0; i < n; ++i) {
      int32_t* p = Neuron(i);
      p[0] = p[1] = p[2] = static_cast<int32_t>((int64_t(i) << (kNetBiasShift + 8)) / n);
      p[3] = i;
    }
  }

  int32_t Contest(int32_t b, int32_t g, int32_t r) {
    int32_t bestD = 0x7FFFFFFF, bestBiasD = 0x7FFFFFFF, bestPos = 0, bestBiasPos = 0;
    for (int32_t i = 0; i < n; ++i) {
      const int32_t* p = Neuron(i);
      int32_t dist = std::abs(p[0] - b) + std::abs(p[1] - g) + std::abs(p[2] - r);
      if (dist < bestD) {
        bestD = dist;
        bestPos = i;
      }
      // The bias goes negative; the shift is arithmetic.
      int32_t biasDist = dist - (bias[static_cast<size_t>(i)] >> (kIntBiasShift - kNetBiasShift));
      if (biasDist < bestBiasD) {
        bestBiasD = biasDist;
        bestBiasPos = i;
      }
      int32_t betaFreq = freq[static_cast<size_t>(i)] >> kBetaShift;
      freq[static_cast<size_t>(i)] -= betaFreq;
      bias[static_cast<size_t>(i)] += betaFreq << kGammaShift;
    }
    freq[static_cast<size_t>(bestPos)] += kBeta;
    bias[static_cast<size_t>(bestPos)] -= kBetaGamma;
    return bestBiasPos;
  }

  void AlterSingle(int32_t alpha, int32_t i, int32_t b, int32_t g, int32_t r) {
    int32_t* p = Neuron(i);
    p[0] -= (alpha * (p[0] - b)) / kInitAlpha;
    p[1] -= (alpha * (p[1] - g)) / kInitAlpha;
    p[2] -= (alpha * (p[2] - r)) / kInitAlpha;
  }

  void AlterNeighbours(int32_t rad, int32_t i, int32_t b, int32_t g, int32_t r) {
    int32_t lo = std::max(i - rad, -1), hi = std::min(i + rad, n);
    int32_t j = i + 1, k = i - 1, m = 1;
    while (j < hi || k > lo) {
      int64_t a = radPower[static_cast<size_t>(m++)];
      if (j < hi) {
        int32_t* p = Neuron(j++);
        p[0] -= static_cast<int32_t>(a * (p[0] - b) / kAlphaRadBias);
        p[1] -= static_cast<int32_t>(a * (p[1] - g) / kAlphaRadBias);
        p[2] -= static_cast<int32_t>(a * (p[2] - r) / kAlphaRadBias);
      }
      if (k > lo) {
        int32_t* p = Neuron(k--);
        p[0] -= static_cast<int32_t>(a * (p[0] - b) / kAlphaRadBias);
        p[1] -= static_cast<int32_t>(a * (p[1] - g) / kAlphaRadBias);
        p[2] -= static_cast<int32_t>(a * (p[2] - r) / kAlphaRadBias);
      }
    }
  }

  void ComputeRadPower(int32_t rad, int32_t alpha) {
    for (int32_t i = 0; i < rad; ++i)
      radPower[static_cast<size_t>(i)] = alpha * (((rad * rad - i * i) * kRadBias) / (rad * rad));
  }

  void Learn(TRVBitmap& bitmap) {
    const int32_t w = bitmap.GetWidth(), h = bitmap.GetHeight();
    const int64_t pixels = int64_t(w) * h;
    const int64_t dataSize = pixels * 3;
    const int32_t alphaDec = 30 + (samplingFactor - 1) / 3;
    const int64_t samples = pixels / samplingFactor;
    int64_t delta = samples / kCycles;
    if (delta < 1) delta = 1;
    int32_t alpha = kInitAlpha;
    int32_t radius = (n >> 3) * kRadiusBias;
    int32_t rad = radius >> kRadiusBiasShift;
    if (rad <= 1) rad = 0;
    ComputeRadPower(rad, alpha);
    int64_t step;
    if (dataSize % 499 != 0)
      step = 499;
    else if (dataSize % 491 != 0)
      step = 491;
    else if (dataSize % 487 != 0)
      step = 487;
    else
      step = 503;
    int64_t pix = 0;
    RowAccessScope ro(bitmap, 1);
    for (int64_t i = 0; i < samples;) {
      const uint8_t* p = bitmap.GetScanLine(static_cast<int32_t>(pix / w)) + (pix % w) * 3;
      int32_t b = p[0] << kNetBiasShift, g = p[1] << kNetBiasShift, r = p[2] << kNetBiasShift;
      int32_t j = Contest(b, g, r);
      AlterSingle(alpha, j, b, g, r);
      if (rad) AlterNeighbours(rad, j, b, g, r);
      pix = (pix + step) % pixels;
      ++i;
      if (i % delta == 0) {
        alpha -= alpha / alphaDec;
        radius -= radius / kRadiusDec;
        rad = radius >> kRadiusBiasShift;
        if (rad <= 1) rad = 0;
        ComputeRadPower(rad, alpha);
      }
    }
    bitmap.ReleaseFileRows();
  }

  void Unbias(TRGB* palette) {
    for (int32_t i = 0; i < n; ++i) {
      int32_t* p = Neuron(i);
      for (int c = 0; c < 3; ++c)
        p[c] = std::clamp((p[c] + (1 << (kNetBiasShift - 1))) >> kNetBiasShift, 0, 255);
      palette[i] = TRGB{static_cast<uint8_t>(p[0]), static_cast<uint8_t>(p[1]), static_cast<uint8_t>(p[2])};
    }
  }

  void BuildIndex() {
    int32_t previous = 0, start = 0;
    for (int32_t i = 0; i < n; ++i) {
      int32_t* p = Neuron(i);
      int32_t smallPos = i, smallVal = p[1];
      for (int32_t j = i + 1; j < n; ++j)
        if (Neuron(j)[1] < smallVal) {
          smallPos = j;
          smallVal = Neuron(j)[1];
        }
      if (smallPos != i) {
        int32_t* q = Neuron(smallPos);
        for (int c = 0; c < 4; ++c) std::swap(p[c], q[c]);
      }
      if (smallVal != previous) {
        netIndex[previous] = (start + i) >> 1;
        for (int32_t j = previous + 1; j < smallVal; ++j) netIndex[j] = i;
        previous = smallVal;
        start = i;
      }
    }
    netIndex[previous] = (start + n - 1) >> 1;
    for (int32_t j = previous + 1; j < 256; ++j) netIndex[j] = n - 1;
  }

  int32_t Search(int32_t b, int32_t g, int32_t r) {
    int32_t bestD = 1000, best = 0;
    int32_t i = netIndex[g], j = i - 1;
    while (i < n || j >= 0) {
      if (i < n) {
        const int32_t* p = Neuron(i);
        int32_t dist = p[1] - g;
        if (dist >= bestD) {
          i = n;
        } else {
          ++i;
          dist = std::abs(dist) + std::abs(p[0] - b);
          if (dist < bestD) {
            dist += std::abs(p[2] - r);
            if (dist < bestD) {
              bestD = dist;
              best = p[3];
            }
          }
        }
      }
      if (j >= 0) {
        const int32_t* p = Neuron(j);
        int32_t dist = g - p[1];
        if (dist >= bestD) {
          j = -1;
        } else {
          --j;
          dist = std::abs(dist) + std::abs(p[0] - b);
          if (dist < bestD) {
            dist += std::abs(p[2] - r);
            if (dist < bestD) {
              bestD = dist;
              best = p[3];
            }
          }
        }
      }
    }
    return best;
  }
};

// ---------------------------------------------------------------- the quantizer

TRVQuantizer::TRVQuantizer(TRVBitmap& bitmap, int32_t colorCount, int32_t /*unused*/, TRGB* palette)
    : bitmap_(bitmap), colorCount_(colorCount) {
  if (colorCount_ < 1 || palette == nullptr || bitmap.IsEmpty()) return;
  const TRVPixelFormat format = bitmap.GetPixelFormat();
  grey_ = bitmap.HasOnlyGrays();
  if (grey_ || format != rv24RGB) {
    if (format == rv8p) {
      made_ = std::min(colorCount_, bitmap.GetPaletteLength());
      for (int32_t i = 0; i < made_; ++i) palette[i] = bitmap.GetPalette(i);
      kind_ = TRVQuantizerKind::ImagePalette;
    } else if (grey_) {
      made_ = colorCount_;
      for (int32_t i = 0; i < made_; ++i) {
        uint8_t v = static_cast<uint8_t>(std::min<int64_t>(common::Trunc(256.0L / colorCount_ * i), 255));
        palette[i] = TRGB{v, v, v};
      }
      kind_ = TRVQuantizerKind::GrayRamp;
    }
  } else if (BuildExactList(palette)) {
    kind_ = TRVQuantizerKind::Exact;
  } else {
    int32_t method = ColorReductionMethod;
    if (method != 0 && method != 1) method = colorCount_ < 128 ? 1 : 0;
    if (method == 1) {
      variance_ = std::make_unique<VarianceState>();
      variance_->Build(bitmap, colorCount_, palette);
      made_ = variance_->made;
      kind_ = TRVQuantizerKind::VarianceSplit;
    } else {
      neuquant_ = std::make_unique<NeuQuantState>();
      const int64_t pixels = int64_t(bitmap.GetWidth()) * bitmap.GetHeight();
      int32_t factor;
      if (NeuQuantSetting < 0 || NeuQuantSetting > 100) {
        factor = pixels < 2000 ? 1 : std::clamp(Nearest((13.0 * pixels - 26000.0) / 148000.0 + 2), 1, 30);
      } else {
        factor = static_cast<int32_t>(common::Trunc((100.0L - NeuQuantSetting) / 100.0L * 29)) + 1;
      }
      neuquant_->samplingFactor = samplingFactor_ = factor;
      neuquant_->Init(colorCount_);
      neuquant_->Learn(bitmap);
      neuquant_->Unbias(palette);
      neuquant_->BuildIndex();
      made_ = colorCount_;
      kind_ = TRVQuantizerKind::NeuQuant;
    }
  }
  palette_.assign(palette, palette + made_);
}

TRVQuantizer::~TRVQuantizer() = default;

bool TRVQuantizer::BuildExactList(TRGB* palette) {
  const int32_t w = bitmap_.GetWidth(), h = bitmap_.GetHeight();
  // The table never needs more slots than the image has pixels.
  auto list =
      std::make_unique<ExactList>(static_cast<int32_t>(std::min<int64_t>(colorCount_, int64_t(w) * h)));
  const int32_t limit = colorCount_;
  RowAccessScope ro(bitmap_, 1);
  uint32_t last = 0xFFFFFFFF;
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* p = bitmap_.GetScanLine(y);
    for (int32_t x = 0; x < w; ++x, p += 3) {
      uint32_t packed = (uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | p[0];
      if (packed == last) continue;
      last = packed;
      if (list->Find(packed) >= 0) continue;
      if (static_cast<int32_t>(list->colours.size()) >= limit) {
        bitmap_.ReleaseFileRows();
        return false;
      }
      list->Add(packed);
    }
  }
  bitmap_.ReleaseFileRows();
  made_ = static_cast<int32_t>(list->colours.size());
  std::copy(list->colours.begin(), list->colours.end(), palette);
  exact_ = std::move(list);
  return true;
}

int32_t TRVQuantizer::GetRGBIndex(const TRGB& colour) {
  switch (kind_) {
    case TRVQuantizerKind::Exact: {
      int32_t i = exact_->Find(PackRGB(colour));
      return i >= 0 ? i : NearestPaletteIndex(palette_.data(), made_, colour);
    }
    case TRVQuantizerKind::ImagePalette: {
      for (int32_t i = 0; i < made_; ++i)
        if (palette_[static_cast<size_t>(i)] == colour) return i;
      return NearestPaletteIndex(palette_.data(), made_, colour);
    }
    case TRVQuantizerKind::GrayRamp:
      return std::min(colour.r * colorCount_ / 256, made_ - 1);
    case TRVQuantizerKind::VarianceSplit:
      return variance_->Lookup(colour);
    case TRVQuantizerKind::NeuQuant:
      return neuquant_->CachedSearch(colour);
    case TRVQuantizerKind::None:
      break;
  }
  return 0;
}

// ---------------------------------------------------------------- 24-bit to palette

void QuantizeToPalette8(TRVBitmap& source24, TRVBitmap& dest8p, int32_t colorCount) {
  const int32_t w = std::min(source24.GetWidth(), dest8p.GetWidth());
  const int32_t h = std::min(source24.GetHeight(), dest8p.GetHeight());
  if (source24.GetPixelFormat() != rv24RGB || dest8p.GetPixelFormat() != rv8p) return;
  colorCount = std::clamp(colorCount, 1, 256);
  std::vector<TRGB> palette(256);
  TRVQuantizer q(source24, colorCount, 134217727, palette.data());
  for (int32_t i = 0; i < 256; ++i)
    dest8p.SetPalette(i, i < q.ColorsMade() ? palette[static_cast<size_t>(i)] : TRGB{});
  RowAccessScope ro(source24, 1), wo(dest8p, 2);
  uint32_t lastKey = 0xFFFFFFFF;
  uint8_t lastIndex = 0;
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* s = source24.GetLockedRow(y);
    uint8_t* d = dest8p.GetScanLine(y);
    for (int32_t x = 0; x < w; ++x, s += 3) {
      uint32_t key = (uint32_t(s[2]) << 16) | (uint32_t(s[1]) << 8) | s[0];
      if (key != lastKey) {
        lastKey = key;
        lastIndex = static_cast<uint8_t>(q.GetRGBIndex(TRGB{s[0], s[1], s[2]}));
      }
      d[x] = lastIndex;
    }
    source24.ReleaseLockedRow(y);
  }
  dest8p.ReleaseFileRows();
}

}  // namespace rv
