// Presenting without waiting, played against a compositor that holds
// buffers as long as it likes: every buffer committed shows exactly the
// newest drawing, and its damage takes in every row that differs from what
// was shown before, whatever the order of presents, releases, the first
// configure and changes of size.
#include "platform/wayland/presented_rows.h"

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <random>
#include <string>

namespace vs::wayland {
namespace {

// The backend's way with one surface (present.cpp), over memory of our own:
// two buffers; the one committed last is reused once given back; rows that
// find no free buffer, or come before the first configure, wait; a release
// or the configure sends them out, but after a new size only a drawing does.
class SimulatedSurface {
 public:
  SimulatedSurface(int width, int height) : width_(width), height_(height) { make_buffers(); }

  // The program draws rows [top, bottom) of its drawing anew and presents
  // them.
  void draw(std::mt19937& rng, int top, int bottom) {
    for (int y = top; y < std::min(bottom, drawing_.height()); ++y) {
      for (int x = 0; x < drawing_.width(); ++x) drawing_.row(y)[x] = rng() & 0xFFFFFF;
    }
    present({top, bottom});
  }

  // The program draws at another size, all of it, and presents it whole.
  void redraw_at(std::mt19937& rng, int width, int height) {
    drawing_ = Surface(width, height);
    draw(rng, 0, std::max(height, height_));
  }

  void configure() {
    configured_ = true;
    commit_waiting();
  }

  // The compositor asks for another size: the buffers go.
  void resize(int width, int height) {
    width_ = width;
    height_ = height;
    make_buffers();
    last_.reset();
  }

  void release(size_t i) {
    buffers_[i]->held = false;
    commit_waiting();
  }

  bool held(size_t i) const { return buffers_[i]->held; }
  size_t last() const { return last_.value_or(0); }
  int commits() const { return commits_; }

 private:
  struct Buffer {
    std::vector<uint32_t> memory;
    BufferRows rows;
    bool held = false;
  };

  void make_buffers() {
    buffers_.clear();
    for (int i = 0; i < 2; ++i) {
      auto b = std::make_unique<Buffer>();
      // Not black: a row the bookkeeping forgets shows.
      b->memory.assign(static_cast<size_t>(width_) * height_, 0xABCDEF);
      b->rows = {b->memory.data(), width_, height_, {0, height_}};
      buffers_.push_back(std::move(b));
    }
    shown_.assign(static_cast<size_t>(width_) * height_, 0xABCDEF);
  }

  std::optional<size_t> free_buffer() const {
    if (last_ && !buffers_[*last_]->held) return last_;
    for (size_t i = 0; i < buffers_.size(); ++i) {
      if (!buffers_[i]->held) return i;
    }
    return std::nullopt;
  }

  void present(RowRange rows) {
    rows = {std::clamp(rows.top, 0, std::max(drawing_.height(), height_)),
            std::clamp(rows.bottom, 0, std::max(drawing_.height(), height_))};
    if (configured_) {
      if (std::optional<size_t> i = free_buffer()) {
        commit(*i, &drawing_, rows);
        return;
      }
    }
    presented_.keep(drawing_, rows);
  }

  void commit_waiting() {
    if (!configured_) return;
    if (mapped_ && (presented_.waiting().empty() || !last_)) return;
    if (std::optional<size_t> i = free_buffer()) commit(*i, nullptr, {});
  }

  void commit(size_t i, const Surface* drawn, RowRange rows) {
    std::vector<BufferRows*> all;
    for (auto& b : buffers_) all.push_back(&b->rows);
    const RowRange changed = presented_.fill(all, i, last_, drawn, rows);
    const RowRange damage = last_ ? changed : RowRange{0, height_};
    Buffer& b = *buffers_[i];
    ++commits_;
    for (int y = 0; y < height_; ++y) {
      const uint32_t* row = b.memory.data() + static_cast<size_t>(y) * width_;
      for (int x = 0; x < width_; ++x) {
        const uint32_t want = y < drawing_.height() && x < drawing_.width() ? drawing_.at(x, y) : 0;
        ASSERT_EQ(row[x], want) << "commit " << commits_ << ", pixel " << x << "," << y;
        uint32_t& seen = shown_[static_cast<size_t>(y) * width_ + x];
        if (seen != row[x]) {
          ASSERT_TRUE(y >= damage.top && y < damage.bottom)
              << "commit " << commits_ << ": row " << y << " changed outside the damage "
              << damage.top << "-" << damage.bottom;
        }
        seen = row[x];
      }
    }
    b.held = true;
    last_ = i;
    mapped_ = true;
  }

  int width_;
  int height_;
  Surface drawing_{width_, height_};
  std::vector<std::unique_ptr<Buffer>> buffers_;
  std::vector<uint32_t> shown_;  // what the compositor shows
  std::optional<size_t> last_;
  PresentedRows presented_;
  bool configured_ = false;
  bool mapped_ = false;
  int commits_ = 0;
};

struct Walk {
  std::string what;
  unsigned seed;
  // Odds in a hundred that the compositor gives back the buffer it shows
  // (it copied it), and that the drawing changes size.
  int releases_shown;
  int resizes;
};

// Named in the test's name, not as bytes.
void PrintTo(const Walk& walk, std::ostream* out) {
  *out << walk.what;
}

class PresentingWithoutWaiting : public ::testing::TestWithParam<Walk> {};

TEST_P(PresentingWithoutWaiting, EveryCommitShowsTheNewestDrawing) {
  const Walk& walk = GetParam();
  std::mt19937 rng(walk.seed);
  auto chance = [&](int in_100) { return static_cast<int>(rng() % 100) < in_100; };
  SimulatedSurface s(48, 40);
  // Before the first configure: kept, then the first frame.
  s.draw(rng, 0, 40);
  s.draw(rng, 5, 9);
  s.draw(rng, 30, 33);
  s.configure();
  int height = 40;
  for (int step = 0; step < 3000 && !::testing::Test::HasFatalFailure(); ++step) {
    const int kind = static_cast<int>(rng() % 10);
    if (kind < 5) {
      const int top = static_cast<int>(rng() % height);
      s.draw(rng, top, top + 1 + static_cast<int>(rng() % 8));
    } else if (kind < 9) {
      // The compositor lets go of the buffer shown before, or now and then
      // of the one it shows.
      const size_t other = 1 - s.last();
      if (s.held(other)) {
        s.release(other);
      } else if (s.held(s.last()) && chance(walk.releases_shown)) {
        s.release(s.last());
      }
    } else if (chance(walk.resizes)) {
      // A drawing of another size (the next picture on another screen),
      // or the compositor's new size for the surface, then that drawing.
      height = 32 + static_cast<int>(rng() % 16);
      const int width = 40 + static_cast<int>(rng() % 16);
      if (chance(50)) s.resize(width, height);
      s.redraw_at(rng, width, height);
    }
  }
  EXPECT_GT(s.commits(), 500);
}

INSTANTIATE_TEST_SUITE_P(
    Walks, PresentingWithoutWaiting,
    ::testing::Values(Walk{"HeldUntilReplaced", 1, 0, 0}, Walk{"SometimesCopied", 2, 30, 0},
                      Walk{"AlwaysCopied", 3, 100, 0}, Walk{"SizesChange", 4, 30, 20},
                      Walk{"SizesChangeOften", 5, 0, 100}),
    [](const ::testing::TestParamInfo<Walk>& info) { return info.param.what; });

}  // namespace
}  // namespace vs::wayland
