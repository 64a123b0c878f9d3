// jpeg_bench: our encoder (best processor class, forced plain kernels, and
// each vector set the machine has on its own) against libjpeg-turbo through
// its TurboJPEG API, on the same natural-looking BGR pictures in the same
// run: 4:2:0, quality 75, accurate integer transform, standard Huffman
// tables, one thread. libjpeg-turbo without its vector code runs in a child
// process (JSIMD_FORCENONE is read when the library first initialises) and
// is the anchor for the plain kernels; each vector set of ours is measured
// against libjpeg-turbo on the same set (SSE2 forced in a child process the
// same way) and against its best.
//
//   jpeg_bench                     the whole comparison
//   jpeg_bench --turbo-only W H    libjpeg-turbo alone; prints megapixels per second
//   jpeg_bench --same-set SET      our SET against this process's libjpeg-turbo
//                                  (run with its JSIMD_FORCE* set); one ratio a size
#include <turbojpeg.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "jpeg/bgr_picture.h"
#include "jpeg/jpeg.h"
#include "jpeg/vector_kernels.h"
#include "natural_picture.h"
#include "tests/support/peak_signal_to_noise.h"

namespace {

// Thread CPU time (user and system): other work on a busy machine does not
// count against whichever encoder happens to be running.
struct Clock {
  static double now() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
  }
};

struct Size {
  int width;
  int height;
};

constexpr Size kSizes[] = {{640, 480}, {1024, 768}, {4096, 3072}};
constexpr int kQuality = 75;

int Repeats(const Size& s) {
  const double pixels = static_cast<double>(s.width) * s.height;
  return std::clamp(static_cast<int>(150e6 / pixels), 11, 400);
}

// Median of the timed runs, in seconds.
template <typename Fn>
double MedianSeconds(int repeats, Fn&& fn) {
  std::vector<double> times;
  fn();  // warm caches and lazily built state
  for (int i = 0; i < repeats; ++i) {
    const auto start = Clock::now();
    fn();
    times.push_back(Clock::now() - start);
  }
  std::nth_element(times.begin(), times.begin() + repeats / 2, times.end());
  return times[repeats / 2];
}

// Medians of two encoders timed in alternating rounds, so a busy machine
// slows both alike.
template <typename A, typename B>
std::pair<double, double> MedianSecondsPaired(int repeats, A&& a, B&& b) {
  std::vector<double> ta, tb;
  a();
  b();
  for (int i = 0; i < repeats; ++i) {
    auto start = Clock::now();
    a();
    ta.push_back(Clock::now() - start);
    start = Clock::now();
    b();
    tb.push_back(Clock::now() - start);
  }
  std::nth_element(ta.begin(), ta.begin() + repeats / 2, ta.end());
  std::nth_element(tb.begin(), tb.begin() + repeats / 2, tb.end());
  return {ta[repeats / 2], tb[repeats / 2]};
}

double Megapixels(const Size& s, double seconds) { return static_cast<double>(s.width) * s.height / 1e6 / seconds; }

class Turbo {
 public:
  Turbo() : compress_(tjInitCompress()), decompress_(tjInitDecompress()) {}
  ~Turbo() {
    if (compress_ != nullptr) tjDestroy(compress_);
    if (decompress_ != nullptr) tjDestroy(decompress_);
  }
  Turbo(const Turbo&) = delete;
  Turbo& operator=(const Turbo&) = delete;

  bool Ok() const { return compress_ != nullptr && decompress_ != nullptr; }

  // Encodes into out (resized to the file's length); false on failure.
  bool Encode(const std::vector<std::uint8_t>& bgr, const Size& s, std::vector<std::uint8_t>& out) {
    const bool ok = EncodeTimed(bgr, s);
    out.assign(buffer_.begin(), buffer_.begin() + (ok ? static_cast<std::ptrdiff_t>(size_) : 0));
    return ok;
  }

  bool EncodeTimed(const std::vector<std::uint8_t>& bgr, const Size& s) {
    const std::size_t capacity = tjBufSize(s.width, s.height, TJSAMP_420);
    if (buffer_.size() < capacity) buffer_.resize(capacity);
    unsigned char* data = buffer_.data();
    size_ = buffer_.size();
    return tjCompress2(compress_, bgr.data(), s.width, s.width * 3, s.height, TJPF_BGR, &data, &size_, TJSAMP_420,
                       kQuality, TJFLAG_ACCURATEDCT | TJFLAG_NOREALLOC) == 0;
  }

  bool Decode(const std::vector<std::uint8_t>& jpeg, const Size& s, std::vector<std::uint8_t>& bgr) {
    bgr.resize(static_cast<std::size_t>(s.width) * s.height * 3);
    return tjDecompress2(decompress_, jpeg.data(), jpeg.size(), bgr.data(), s.width, s.width * 3, s.height, TJPF_BGR,
                         TJFLAG_ACCURATEDCT) == 0;
  }

 private:
  tjhandle compress_;
  tjhandle decompress_;
  std::vector<std::uint8_t> buffer_;
  unsigned long size_ = 0;
};

// One of our encoder records, set up under the given override file contents
// (none when empty): "USECPU=0" forces the plain kernels, a VECTORSET line
// caps the vector set.
class Ours {
 public:
  explicit Ours(const std::string& override_text = "") {
    std::string conf;
    const char* previous = std::getenv("TAVROCAM_JPEG_CONFIG");
    const std::string saved = previous != nullptr ? previous : "";
    const bool forced = !override_text.empty();
    if (forced) {
      conf = "/tmp/jpeg_bench_override_" + std::to_string(getpid()) + ".conf";
      if (FILE* f = std::fopen(conf.c_str(), "w")) {
        std::fputs(override_text.c_str(), f);
        std::fclose(f);
      }
      setenv("TAVROCAM_JPEG_CONFIG", conf.c_str(), 1);
    }
    ok_ = JpegInit(&props_) == 0;
    if (forced) {
      if (previous != nullptr) {
        setenv("TAVROCAM_JPEG_CONFIG", saved.c_str(), 1);
      } else {
        unsetenv("TAVROCAM_JPEG_CONFIG");
      }
      std::remove(conf.c_str());
    }
  }
  ~Ours() {
    if (ok_) JpegFree(&props_);
  }
  Ours(const Ours&) = delete;
  Ours& operator=(const Ours&) = delete;

  bool Ok() const { return ok_; }
  std::int32_t CpuClass() const { return props_.state.cpu_type; }

  void Describe(const std::vector<std::uint8_t>& bgr, const Size& s) {
    DescribeBgrPicture(props_, {.pixels = bgr.data(), .width = s.width, .height = s.height}, kQuality);
  }

  // The output buffer only grows, so timed runs measure the encoder, not the
  // zeroing of a fresh buffer.
  bool Encode(const std::vector<std::uint8_t>& bgr, const Size& s, std::vector<std::uint8_t>& out) {
    Describe(bgr, s);
    const std::size_t capacity = static_cast<std::size_t>(s.width) * s.height * 3 + 65536;
    if (buffer_.size() < capacity) buffer_.resize(capacity);
    props_.jpeg_buffer = buffer_.data();
    props_.jpeg_size = static_cast<std::int32_t>(buffer_.size());
    const bool ok = JpegWrite(&props_, WholeImageToBuffer) == 0;
    out.assign(buffer_.begin(), buffer_.begin() + (ok ? props_.jpeg_size : 0));
    return ok;
  }

  bool EncodeTimed(const std::vector<std::uint8_t>& bgr, const Size& s) {
    props_.jpeg_buffer = buffer_.data();
    props_.jpeg_size = static_cast<std::int32_t>(buffer_.size());
    Describe(bgr, s);
    return JpegWrite(&props_, WholeImageToBuffer) == 0;
  }

  bool EncodeToFile(const std::vector<std::uint8_t>& bgr, const Size& s, const char* path) {
    Describe(bgr, s);
    props_.jpeg_file_name = path;
    return JpegWrite(&props_, WholeImageToFile) == 0;
  }

 private:
  JPEG_PROPERTIES props_{};
  bool ok_ = false;
  std::vector<std::uint8_t> buffer_;
};

// The tests' measure of a decoded picture, so both weigh quality alike.
constexpr auto& Psnr = test_support::PeakSignalToNoise;

// Megapixels per second of libjpeg-turbo alone; the child process's work.
double TurboSpeed(const Size& s) {
  const std::vector<std::uint8_t> bgr = NaturalPicture(s.width, s.height);
  Turbo turbo;
  std::vector<std::uint8_t> out;
  if (!turbo.Ok() || !turbo.Encode(bgr, s, out)) return 0;
  return Megapixels(s, MedianSeconds(Repeats(s), [&] { turbo.EncodeTimed(bgr, s); }));
}

// libjpeg-turbo with its vector code switched off, measured in a child process.
double TurboPlainSpeed(const Size& s) {
  char self[4096];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return 0;
  self[n] = '\0';
  const std::string command = "JSIMD_FORCENONE=1 '" + std::string(self) + "' --turbo-only " + std::to_string(s.width) +
                              " " + std::to_string(s.height);
  FILE* child = popen(command.c_str(), "r");
  if (child == nullptr) return 0;
  double speed = 0;
  if (std::fscanf(child, "%lf", &speed) != 1) speed = 0;
  pclose(child);
  return speed;
}

double Ratio(double a, double b) { return b > 0 ? a / b : 0; }

// The sets of ours this machine runs.
std::vector<const char*> RunnableSets() {
  std::vector<const char*> sets;
#ifdef TAVROCAM_JPEG_X86_KERNELS
  const jpeg::VectorSupport support = jpeg::DetectVectorSupport();
  if (support.sse2) sets.push_back("sse2");
  if (support.avx2) sets.push_back("avx2");
  if (support.avx512) sets.push_back("avx512");
#endif
  return sets;
}

// The environment that puts libjpeg-turbo on the set a machine with only
// ours would give it; empty: its default. Its widest code is AVX2, so an AVX2
// machine and an AVX-512 one both run its default. JSIMD_FORCEAVX2=1 is no
// stand-in for that: it also turns off its kernels that exist only for SSE2
// (here it ran at about three quarters of its default speed).
const char* TurboSetEnvironment(const std::string& set) { return set == "sse2" ? "JSIMD_FORCESSE2=1" : ""; }

// Speed ratios (ours / libjpeg-turbo) of our set against whatever set the
// libjpeg-turbo of this process runs, one per size, in alternating rounds.
// False when an encoder fails.
bool RatiosAgainstThisProcessesTurbo(const std::string& set, Turbo& turbo, double (&ratios)[std::size(kSizes)]) {
  Ours capped("USECPU=6\nVECTORSET=" + set + "\n");
  if (!capped.Ok()) {
    std::fprintf(stderr, "jpeg_bench: the %s encoder failed to start\n", set.c_str());
    return false;
  }
  for (std::size_t i = 0; i < std::size(kSizes); ++i) {
    const Size& s = kSizes[i];
    const std::vector<std::uint8_t> bgr = NaturalPicture(s.width, s.height);
    std::vector<std::uint8_t> ours_file, turbo_file;
    if (!capped.Encode(bgr, s, ours_file) || !turbo.Encode(bgr, s, turbo_file)) {
      std::fprintf(stderr, "jpeg_bench: encoding %dx%d with %s failed\n", s.width, s.height, set.c_str());
      return false;
    }
    const auto [ours_seconds, turbo_seconds] = MedianSecondsPaired(
        Repeats(s), [&] { capped.EncodeTimed(bgr, s); }, [&] { turbo.EncodeTimed(bgr, s); });
    ratios[i] = Ratio(Megapixels(s, ours_seconds), Megapixels(s, turbo_seconds));
  }
  return true;
}

// The same-set ratios, from a child process whose libjpeg-turbo is forced
// onto the set (the library reads its JSIMD_FORCE* variables once).
bool SameSetRatios(const std::string& set, double (&ratios)[std::size(kSizes)]) {
  char self[4096];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return false;
  self[n] = '\0';
  const std::string command = std::string(TurboSetEnvironment(set)) + " '" + std::string(self) + "' --same-set " + set;
  FILE* child = popen(command.c_str(), "r");
  if (child == nullptr) return false;
  bool ok = true;
  for (double& r : ratios) ok = ok && std::fscanf(child, "%lf", &r) == 1;
  return pclose(child) == 0 && ok;
}

// Every set this machine runs: the ratio against libjpeg-turbo on the same
// set (its own process) and against libjpeg-turbo's best (this process).
// Sets the 1024x768 figures of the best set for the summary.
bool PrintRatiosPerVectorSet(Turbo& turbo, std::string& best_set, double& same_1024, double& best_1024) {
  const std::vector<const char*> sets = RunnableSets();
  if (sets.empty()) {
    std::printf("per vector set: none on this machine\n");
    return true;
  }
  std::printf(
      "per vector set, speed ratio vs libjpeg-turbo on the same set / on its best (alternating rounds; its sse2\n"
      "under JSIMD_FORCESSE2=1 in a process of its own; it has no avx512, so its best is its avx2 machine's):\n%-11s",
      "set");
  for (const Size& s : kSizes) {
    char label[32];
    std::snprintf(label, sizeof label, "%dx%d", s.width, s.height);
    std::printf(" %13s", label);
  }
  std::printf("\n");
  for (const char* set : sets) {
    double same[std::size(kSizes)] = {};
    double best[std::size(kSizes)] = {};
    if (!RatiosAgainstThisProcessesTurbo(set, turbo, best)) {
      std::fprintf(stderr, "jpeg_bench: measuring the %s set failed\n", set);
      return false;
    }
    if (*TurboSetEnvironment(set) == '\0') {
      std::copy(std::begin(best), std::end(best), std::begin(same));
    } else if (!SameSetRatios(set, same)) {
      std::fprintf(stderr, "jpeg_bench: measuring the %s set failed\n", set);
      return false;
    }
    std::printf("%-11s", set);
    for (std::size_t i = 0; i < std::size(kSizes); ++i) std::printf("   %4.2f / %4.2f", same[i], best[i]);
    std::printf("\n");
    best_set = set;
    same_1024 = same[1];
    best_1024 = best[1];
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--turbo-only") == 0) {
    std::printf("%.3f\n", TurboSpeed({std::atoi(argv[2]), std::atoi(argv[3])}));
    return 0;
  }
  if (argc == 3 && std::strcmp(argv[1], "--same-set") == 0) {
    Turbo turbo;
    double ratios[std::size(kSizes)] = {};
    if (!turbo.Ok() || !RatiosAgainstThisProcessesTurbo(argv[2], turbo, ratios)) return 1;
    for (double r : ratios) std::printf("%.4f\n", r);
    return 0;
  }

  Ours best;
  Ours plain("USECPU=0\n");
  Turbo turbo;
  if (!best.Ok() || !plain.Ok() || !turbo.Ok()) {
    std::fprintf(stderr, "jpeg_bench: an encoder failed to start\n");
    return 1;
  }
  std::printf(
      "our best class %d, forced plain class %d; 4:2:0, quality %d, megapixels per second (median thread CPU time)\n",
      best.CpuClass(), plain.CpuClass(), kQuality);
  std::printf("%-11s %9s %9s %9s %9s  %8s %8s\n", "size", "ours", "turbo", "ours-pl", "turbo-pl", "ratio", "plain-r");

  double ratio_1024 = 0;
  for (const Size& s : kSizes) {
    const std::vector<std::uint8_t> bgr = NaturalPicture(s.width, s.height);
    std::vector<std::uint8_t> ours_file, plain_file, turbo_file;
    if (!best.Encode(bgr, s, ours_file) || !plain.Encode(bgr, s, plain_file) || !turbo.Encode(bgr, s, turbo_file)) {
      std::fprintf(stderr, "jpeg_bench: encoding %dx%d failed\n", s.width, s.height);
      return 1;
    }
    const int repeats = Repeats(s);
    const auto [ours_seconds, turbo_seconds] = MedianSecondsPaired(
        repeats, [&] { best.EncodeTimed(bgr, s); }, [&] { turbo.EncodeTimed(bgr, s); });
    const double ours = Megapixels(s, ours_seconds);
    const double turbo_speed = Megapixels(s, turbo_seconds);
    const double ours_plain = Megapixels(s, MedianSeconds(repeats, [&] { plain.EncodeTimed(bgr, s); }));
    const double turbo_plain = TurboPlainSpeed(s);
    char label[32];
    std::snprintf(label, sizeof label, "%dx%d", s.width, s.height);
    std::printf("%-11s %9.1f %9.1f %9.1f %9.1f  %8.2f %8.2f\n", label, ours, turbo_speed, ours_plain, turbo_plain,
                Ratio(ours, turbo_speed), Ratio(ours_plain, turbo_plain));

    std::vector<std::uint8_t> decoded;
    double ours_psnr = 0, turbo_psnr = 0;
    if (turbo.Decode(ours_file, s, decoded)) ours_psnr = Psnr(bgr, decoded);
    if (turbo.Decode(turbo_file, s, decoded)) turbo_psnr = Psnr(bgr, decoded);
    std::printf("            quality: ours %.3f dB %zu bytes, turbo %.3f dB %zu bytes (size ratio %.4f)%s\n", ours_psnr,
                ours_file.size(), turbo_psnr, turbo_file.size(),
                Ratio(static_cast<double>(ours_file.size()), static_cast<double>(turbo_file.size())),
                ours_file == plain_file ? "" : "  PLAIN AND VECTOR FILES DIFFER");
    if (s.width == 1024) {
      ratio_1024 = Ratio(ours, turbo_speed);
      const std::string path = "/tmp/jpeg_bench_" + std::to_string(getpid()) + ".jpg";
      const double file_seconds = MedianSeconds(repeats, [&] { best.EncodeToFile(bgr, s, path.c_str()); });
      std::printf("            still saved to a file: %.2f ms (in-memory encode %.2f ms)\n", file_seconds * 1e3,
                  1e3 * s.width * s.height / 1e6 / ours);
      std::remove(path.c_str());
    }
  }
  std::string best_set;
  double same_1024 = 0, best_1024 = 0;
  if (!PrintRatiosPerVectorSet(turbo, best_set, same_1024, best_1024)) return 1;
  if (best_set.empty()) {
    std::printf("speed ratio vs libjpeg-turbo at 1024x768 (plain): %.2f\n", ratio_1024);
  } else {
    std::printf("speed ratio vs libjpeg-turbo at 1024x768, our %s set: %.2f on the same set, %.2f on its best\n",
                best_set.c_str(), same_1024, best_1024);
  }
  return 0;
}
