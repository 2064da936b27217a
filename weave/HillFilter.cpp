// SPDX-License-Identifier: GPL-2.0-or-later
#include "weave/HillFilter.h"

#include "weave/HillLevelScale.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <limits>

namespace lumora::weave {
namespace {

constexpr size_t kMaxAbsSum = 9 * 16 * 255;        // a 3x3 sum of |R|; |R| <= 16 * 255
constexpr uint64_t kOne = uint64_t{1} << 32;       // fixed point of 1 / xi
constexpr uint64_t kFlat = uint64_t{1} << 47;      // 1 / xi where xi = 0: 2^15
constexpr ptrdiff_t kReach = 7;                    // the 15x15 mean reaches 7 samples each way
constexpr size_t kReciprocalRows = 2 * kReach + 2; // rows y - 8 .. y + 7 of the running sum

// Mirrors an index into [0, n): ... 1 0 | 0 1 ... n-1 | n-1 n-2 ...
size_t Mirror(ptrdiff_t i, size_t n) {
    const ptrdiff_t period = 2 * static_cast<ptrdiff_t>(n);
    ptrdiff_t m = i % period;
    if (m < 0)
        m += period;
    return static_cast<size_t>(m < period / 2 ? m : period - 1 - m);
}

// 1 / xi in fixed point for every 3x3 sum S of |R| (xi = S / 9).
const std::vector<uint64_t>& Reciprocals() {
    static const std::vector<uint64_t> table = [] {
        std::vector<uint64_t> t(kMaxAbsSum + 1);
        t[0] = kFlat;
        for (uint64_t s = 1; s < t.size(); ++s)
            t[s] = (9 * kOne + s / 2) / s;
        return t;
    }();
    return table;
}

// Rows computed on demand; row r lives in slot r % slots until another row takes it.
template <typename T> class RowSlots {
public:
    RowSlots(size_t slots, size_t width)
        : width_(width), values_(slots * width), rows_(slots, kNone) {}

    // The slot of `row`, and whether it still has to be filled.
    T* Slot(size_t row, bool& empty) {
        const size_t slot = row % rows_.size();
        empty = rows_[slot] != row;
        rows_[slot] = row;
        return values_.data() + slot * width_;
    }

private:
    static constexpr size_t kNone = std::numeric_limits<size_t>::max();
    size_t width_;
    std::vector<T> values_;
    std::vector<size_t> rows_;
};

class BandFilter {
public:
    explicit BandFilter(const SamplePlane& plane)
        : plane_(plane), width_(plane.width), left_(width_), right_(width_), residuals_(4, width_),
          reciprocals_(kReciprocalRows, width_), columnSums_(width_), sums_(width_),
          vertical_(width_), window_(width_ + 2 * kReach + 1), table_(Reciprocals()) {
        for (size_t x = 0; x < width_; ++x) {
            left_[x] = Mirror(static_cast<ptrdiff_t>(x) - 1, width_);
            right_[x] = Mirror(static_cast<ptrdiff_t>(x) + 1, width_);
        }
        for (size_t i = 0; i < window_.size(); ++i)
            window_[i] = Mirror(static_cast<ptrdiff_t>(i) - kReach, width_);
    }

    void Run(CostLevels& levels) {
        const ptrdiff_t height = static_cast<ptrdiff_t>(plane_.height);
        std::fill(columnSums_.begin(), columnSums_.end(), 0);
        for (ptrdiff_t dy = -kReach; dy <= kReach; ++dy)
            AddRow(Reciprocal(Mirror(dy, plane_.height)), 1);
        for (ptrdiff_t y = 0; y < height; ++y) {
            if (y > 0) {
                AddRow(Reciprocal(Mirror(y - kReach - 1, plane_.height)), -1);
                AddRow(Reciprocal(Mirror(y + kReach, plane_.height)), 1);
            }
            // The window of column x holds the columns window_[x .. x + 2 * kReach].
            uint64_t sum = 0;
            for (size_t i = 0; i < 2 * kReach + 1; ++i)
                sum += columnSums_[window_[i]];
            for (size_t x = 0; x < width_; ++x) {
                sums_[x] = sum;
                if (x + 1 < width_)
                    sum += columnSums_[window_[x + 2 * kReach + 1]] - columnSums_[window_[x]];
            }
            HillLevelsOfSums(sums_.data(), width_, levels.data() + static_cast<size_t>(y) * width_);
        }
    }

private:
    const uint8_t* Row(size_t y) const { return plane_.samples + y * plane_.rowStride; }

    // |R| of row y.
    const uint32_t* AbsResidual(size_t y) {
        bool empty = false;
        uint32_t* out = residuals_.Slot(y, empty);
        if (!empty)
            return out;
        const ptrdiff_t at = static_cast<ptrdiff_t>(y);
        const uint8_t* a = Row(Mirror(at - 1, plane_.height));
        const uint8_t* b = Row(y);
        const uint8_t* c = Row(Mirror(at + 1, plane_.height));
        const size_t stride = plane_.sampleStride;
        const auto residualAt = [&](size_t x, size_t l, size_t r) {
            const int edges = a[l * stride] + a[r * stride] + c[l * stride] + c[r * stride];
            const int sides = a[x * stride] + b[l * stride] + b[r * stride] + c[x * stride];
            const int residual = 2 * sides - edges - 4 * b[x * stride];
            return static_cast<uint32_t>(residual < 0 ? -residual : residual);
        };
        // Only the first and last columns have mirrored neighbours.
        out[0] = residualAt(0, left_[0], right_[0]);
        for (size_t x = 1; x + 1 < width_; ++x)
            out[x] = residualAt(x, x - 1, x + 1);
        out[width_ - 1] = residualAt(width_ - 1, left_[width_ - 1], right_[width_ - 1]);
        return out;
    }

    // 1 / xi of row y, in fixed point.
    const uint64_t* Reciprocal(size_t y) {
        bool empty = false;
        uint64_t* out = reciprocals_.Slot(y, empty);
        if (!empty)
            return out;
        const ptrdiff_t at = static_cast<ptrdiff_t>(y);
        std::fill(vertical_.begin(), vertical_.end(), 0);
        for (ptrdiff_t dy = -1; dy <= 1; ++dy) {
            const uint32_t* residual = AbsResidual(Mirror(at + dy, plane_.height));
            for (size_t x = 0; x < width_; ++x)
                vertical_[x] += residual[x];
        }
        out[0] = table_[vertical_[left_[0]] + vertical_[0] + vertical_[right_[0]]];
        for (size_t x = 1; x + 1 < width_; ++x)
            out[x] = table_[vertical_[x - 1] + vertical_[x] + vertical_[x + 1]];
        out[width_ - 1] = table_[vertical_[left_[width_ - 1]] + vertical_[width_ - 1] +
                                 vertical_[right_[width_ - 1]]];
        return out;
    }

    void AddRow(const uint64_t* row, int sign) {
        for (size_t x = 0; x < width_; ++x)
            columnSums_[x] = sign > 0 ? columnSums_[x] + row[x] : columnSums_[x] - row[x];
    }

    const SamplePlane& plane_;
    size_t width_;
    std::vector<size_t> left_;
    std::vector<size_t> right_;
    RowSlots<uint32_t> residuals_;
    RowSlots<uint64_t> reciprocals_;
    std::vector<uint64_t> columnSums_;
    std::vector<uint64_t> sums_; // the 15x15 sums of a row
    std::vector<uint32_t> vertical_;
    std::vector<size_t> window_; // column x - kReach, mirrored, at index x
    const std::vector<uint64_t>& table_;
};

} // namespace

CostLevels HillLevels(const SamplePlane& plane) {
    CostLevels levels(plane.width * plane.height);
    BandFilter(plane).Run(levels);
    return levels;
}

const std::array<float, 256>& HillLevelCostTable() {
    static const std::array<float, 256> costs = [] {
        std::array<float, 256> c{};
        for (int l = 0; l < 256; ++l)
            c[static_cast<size_t>(l)] = static_cast<float>(std::exp2((l - 128) / 8.0));
        return c;
    }();
    return costs;
}

} // namespace lumora::weave
