// Lists and sorts a folder of 32767 pictures, and sets the catalogue's sort
// against the pairwise exchange sort that defines its order, in one run.
// Then walks a tree of 50,000 pictures in 2,000 folders, as the saver and
// the dialog do with subfolders: the time to the first picture found, to
// the whole catalogue, and the longest step of the walk (the loop answers
// input between steps), against the flat folder's listing.
//
//   bench_catalogue_bench [folder-to-create-files-in]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "platform/offscreen/offscreen_platform.h"
#include "settings/catalogue.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kFiles = 32767;

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

void exchange_sort(std::vector<std::string>& v) {
  for (size_t i = 0; i < v.size(); ++i)
    for (size_t j = i + 1; j < v.size(); ++j)
      if (v[i].compare(v[j]) >= 0) std::swap(v[i], v[j]);
}

// Random names of mixed case and all four kinds, so the listing order is
// far from sorted.
void make_pictures(const fs::path& dir) {
  std::mt19937 gen(1);
  const char* kinds[] = {".bmp", ".gif", ".jpg", ".wmf", ".JPG"};
  const std::string letters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_-";
  for (int i = 0; i < kFiles; ++i) {
    std::string name;
    for (int k = 0; k < 10; ++k) name += letters[gen() % letters.size()];
    name += std::to_string(i) + kinds[gen() % 5];
    std::ofstream(dir / name);
  }
}

// 20 folders of 100 folders of 25 pictures, named at random.
constexpr int kTreeFiles = 50000;
void make_tree(const fs::path& dir) {
  std::mt19937 gen(2);
  const std::string letters = "abcdefghijklmnopqrstuvwxyz0123456789";
  for (int top = 0; top < 20; ++top) {
    for (int sub = 0; sub < 100; ++sub) {
      const fs::path folder = dir / ("20" + std::to_string(10 + top)) / ("m" + std::to_string(sub));
      fs::create_directories(folder);
      for (int i = 0; i < 25; ++i) {
        std::string name;
        for (int k = 0; k < 8; ++k) name += letters[gen() % letters.size()];
        std::ofstream(folder / (name + ".jpg"));
      }
    }
  }
}

struct TreeWalk {
  double first_found = 0;  // seconds
  double whole = 0;
  double longest_step = 0;
  int found = 0;
};

// The walk as the loops take it: steps of kWalkStep names.
TreeWalk walk_tree(vs::System& p, const fs::path& dir, const vs::KindSwitches& kinds) {
  TreeWalk w;
  const auto start = Clock::now();
  vs::PictureWalk walk(p, dir.string(), kinds, true);
  std::vector<std::string> found;
  bool done = false;
  while (!done) {
    const auto step = Clock::now();
    done = walk.step(1024, [&](const std::string& path) {
      if (found.empty()) w.first_found = seconds_since(start);
      found.push_back(path);
    });
    w.longest_step = std::max(w.longest_step, seconds_since(step));
  }
  vs::Catalogue catalogue;
  vs::fill_catalogue(catalogue, std::move(found));
  w.whole = seconds_since(start);
  w.found = catalogue.count;
  return w;
}

}  // namespace

int main(int argc, char** argv) {
  fs::path base = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path();
  std::string pattern = (base / "vs-catalogue-bench-XXXXXX").string();
  if (!mkdtemp(pattern.data())) {
    std::perror("mkdtemp");
    return 1;
  }
  fs::path dir = pattern;
  make_pictures(dir);

  vs::OffscreenPlatform p;
  const vs::KindSwitches kinds{1, 1, 1, 1};
  vs::Catalogue catalogue;

  // Listing and sort together, as the program does it; the best of five
  // and the first (cold) run.
  double first = 0;
  double best = 1e9;
  for (int run = 0; run < 5; ++run) {
    auto start = Clock::now();
    vs::build_catalogue(p, kinds, dir.string(), catalogue);
    double t = seconds_since(start);
    if (run == 0) first = t;
    best = std::min(best, t);
  }
  int count = catalogue.count;

  // The same entries in listing order, sorted both ways.
  vs::Catalogue unsorted;
  vs::PictureWalk walk(p, dir.string(), kinds);
  while (!walk.step(1 << 16, [&](const std::string& path) { unsorted.files.push_back(path); })) {
  }
  unsorted.count = static_cast<int16_t>(unsorted.files.size() - 1);
  std::vector<std::string> exchanged(unsorted.files.begin() + 1, unsorted.files.end());

  auto start = Clock::now();
  vs::sort_catalogue(unsorted);
  double sort_time = seconds_since(start);

  start = Clock::now();
  exchange_sort(exchanged);
  double exchange_time = seconds_since(start);

  bool same = std::equal(exchanged.begin(), exchanged.end(), unsorted.files.begin() + 1,
                         unsorted.files.end()) &&
              std::equal(exchanged.begin(), exchanged.end(), catalogue.files.begin() + 1,
                         catalogue.files.begin() + 1 + count);

  std::error_code ec;
  fs::remove_all(dir, ec);

  std::printf("entries                          %d\n", count);
  std::printf("catalogue (list + sort)          %9.3f ms best of 5, %9.3f ms first\n", best * 1e3,
              first * 1e3);
  std::printf("sort alone                       %9.3f ms\n", sort_time * 1e3);
  std::printf("exchange sort, same entries      %9.3f ms\n", exchange_time * 1e3);
  std::printf("ratio exchange sort / sort                      %10.1f x\n",
              exchange_time / sort_time);
  std::printf("ratio exchange sort / whole catalogue          %10.1f x\n", exchange_time / best);
  std::printf("same order                       %s\n", same ? "yes" : "NO");

  std::string tree_pattern = (base / "vs-tree-bench-XXXXXX").string();
  if (!mkdtemp(tree_pattern.data())) {
    std::perror("mkdtemp");
    return 1;
  }
  const fs::path tree = tree_pattern;
  make_tree(tree);
  TreeWalk cold = walk_tree(p, tree, kinds), best_walk = cold;
  for (int run = 0; run < 4; ++run) {
    TreeWalk w = walk_tree(p, tree, kinds);
    if (w.whole < best_walk.whole) best_walk = w;
  }
  fs::remove_all(tree, ec);
  std::printf("tree of %d pictures in 2000 folders, with subfolders:\n", kTreeFiles);
  std::printf("  first picture found            %9.3f ms best of 5, %9.3f ms first\n",
              best_walk.first_found * 1e3, cold.first_found * 1e3);
  std::printf("  whole catalogue (walk + sort)  %9.3f ms best of 5, %9.3f ms first\n",
              best_walk.whole * 1e3, cold.whole * 1e3);
  std::printf("  longest step of 1024 names     %9.3f ms\n", best_walk.longest_step * 1e3);
  std::printf("  entries                        %d (the limit: %d)\n", best_walk.found,
              vs::kMaxPictures);
  std::printf("ratio tree walk / flat catalogue               %10.1f x  (%.1f x the files)\n",
              best_walk.whole / best, static_cast<double>(kTreeFiles) / kFiles);
  return same && count == kFiles && best_walk.found == vs::kMaxPictures ? 0 : 1;
}
