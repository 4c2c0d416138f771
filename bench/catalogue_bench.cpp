// Lists and sorts a folder of 32767 pictures, and sets the catalogue's sort
// against the pairwise exchange sort that defines its order, in one run.
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
  return same && count == kFiles ? 0 : 1;
}
