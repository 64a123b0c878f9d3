#include "bench/support/test_pages.h"

#include <cstdint>
#include <cstdio>

namespace bench {

std::vector<sim::Picture> RenderTestPages(int count, const char* program) {
  sim::PictureRenderer renderer(1);
  sim::RenderKey key;
  key.mode = 2;
  std::vector<sim::Picture> pictures;
  for (int i = 0; i < count; ++i) pictures.push_back(renderer.RenderPicture(key, static_cast<std::uint64_t>(i * 5)));
  if (pictures.empty() || pictures[0].width != 1024 || pictures[0].height != 768) {
    std::fprintf(stderr, "%s: the simulated picture is not 1024x768\n", program);
    return {};
  }
  return pictures;
}

}  // namespace bench
