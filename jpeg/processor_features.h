// What this processor and its operating system can run, found once for the
// whole program, and the choice every kernel family makes from it: the
// encoder's vector sets, the frame assembly's and the turns'. The
// `VECTORSET` line of the encoder's override file caps all of them.
#pragma once

#include <cstdint>

// Declarations only, no inline code: the vector kernels' own files include
// this under their instruction-set flags.
namespace jpeg {
enum class VectorSetCap;  // jpeg/processor.h
}

namespace cpu {

// The identification words every choice depends on, as the processor reports them.
struct CpuidWords {
  std::uint32_t max_leaf;  // leaf 0 EAX
  std::uint32_t leaf1_ecx;
  std::uint32_t leaf1_edx;
  std::uint32_t leaf7_ebx;  // leaf 7, subleaf 0; 0 when max_leaf < 7
  std::uint32_t xcr0;       // low half of XCR0; 0 when the OS has not enabled xgetbv
  // Read for the identification and the wider sets only, so that a record of
  // the first five words alone is complete for the vector sets up to AVX-512.
  std::uint32_t leaf7_ecx = 0;  // leaf 7, subleaf 0; 0 when max_leaf < 7
  std::uint32_t leaf1_eax = 0;
  std::uint32_t leaf1_ebx = 0;
  std::uint32_t vendor[3] = {};  // leaf 0 EBX, EDX, ECX; blanks without an identification instruction
};

// Reads the words from the processor (every call).
CpuidWords ReadCpuidWords();
// The words as read once for the whole program.
const CpuidWords& ProcessorWords();

// The instruction sets a kernel of ours may be built for. Each needs the
// operating system to save its registers on a switch (xgetbv).
struct ProcessorFeatures {
  bool sse2 = false;
  bool ssse3 = false;
  bool avx2 = false;
  bool avx512 = false;      // F, BW, VL and CD, with the mask and 512-bit state saved
  bool avx512vbmi = false;  // avx512 plus VBMI's byte permutes
};

ProcessorFeatures FeaturesFrom(const CpuidWords& words);

// FeaturesFrom(ProcessorWords()), found once.
const ProcessorFeatures& DetectedFeatures();

// Features without the sets above the cap; never adds one. The cap counts
// vector widths: `sse2` keeps the 16-byte sets (SSE2 and SSSE3), `avx2` adds
// the 32-byte set, `avx512` the 64-byte ones.
ProcessorFeatures CapFeatures(ProcessorFeatures features, jpeg::VectorSetCap cap);

// The detected features under the override file's cap as it reads now; the
// encoder asks at every JpegInit.
ProcessorFeatures UsableFeatures();

// UsableFeatures() taken once: the kernels called per frame (assembly,
// turns) choose from this, so a frame never waits on a file.
const ProcessorFeatures& ProgramFeatures();

// The sets a kernel family is built in, widest last.
enum class KernelSet { kPlain, kSse2, kSsse3, kAvx2, kAvx512 };
const char* KernelSetName(KernelSet set);  // "plain", "sse2", "ssse3", "avx2", "avx512"

// Each family's choice for the given features.
KernelSet EncoderSetFor(const ProcessorFeatures& features);   // sse2, avx2, avx512
KernelSet AssemblySetFor(const ProcessorFeatures& features);  // ssse3, avx2
KernelSet TurnSetFor(const ProcessorFeatures& features);      // ssse3, avx2, avx512 (with VBMI)

}  // namespace cpu
