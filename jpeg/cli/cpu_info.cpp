#include "jpeg/cli/cpu_info.h"

#include <cstdio>
#include <string>

#include "jpeg/jpeg.h"
#include "jpeg/kernels.h"
#include "jpeg/processor.h"
#include "jpeg/processor_features.h"
#include "jpeg/vector_kernels.h"

namespace jpeg_cli {

namespace {

const char* Variant(const void* kernel) { return jpeg::KernelVariantName(kernel); }

}  // namespace

int PrintCpuInfo() {
  JPEG_PROPERTIES p;
  if (JpegInit(&p) != 0 || p.state.kernels == nullptr) {
    std::fprintf(stderr, "tavrocam-jpeg: cannot set up an encoder\n");
    return 1;
  }
  const jpeg::KernelTable& k = *p.state.kernels;
  const jpeg::ProcessorId& id = k.processor;
  const jpeg::VectorSupport support = jpeg::DetectVectorSupport();
  const std::string override_path = jpeg::CpuOverridePath();
  const std::int32_t forced = jpeg::ReadCpuOverride(override_path);

  std::printf("vendor       \"%s\"\n", id.vendor);
  std::printf("family %u model %u stepping %u type %u brand %u\n", id.family, id.model, id.stepping, id.type,
              id.brand_index);
  std::printf("features     0x%08x (mmx %s, sse %s, sse2 %s)\n", id.features,
              (id.features & jpeg::kFeatureMmx) ? "yes" : "no", (id.features & jpeg::kFeatureSse) ? "yes" : "no",
              (id.features & jpeg::kFeatureSse2) ? "yes" : "no");
  const cpu::ProcessorFeatures& detected = cpu::DetectedFeatures();
  std::printf("vector sets  sse2 %s, avx2 %s, avx512 %s (ssse3 %s, avx512 vbmi %s)\n", support.sse2 ? "yes" : "no",
              support.avx2 ? "yes" : "no", support.avx512 ? "yes" : "no", detected.ssse3 ? "yes" : "no",
              detected.avx512vbmi ? "yes" : "no");
  const jpeg::VectorSetCap cap = jpeg::ReadVectorSetCap(override_path);
  if (cap == jpeg::VectorSetCap::kNone) {
    std::printf("vector cap   none (no usable VECTORSET in %s)\n", override_path.c_str());
  } else {
    std::printf("vector cap   %s (VECTORSET in %s)\n", jpeg::VectorSetCapName(cap), override_path.c_str());
  }
  if (forced >= 0 && forced <= 6) {
    std::printf("class        %d (forced by USECPU in %s)\n", k.cpu_type, override_path.c_str());
  } else {
    std::printf("class        %d (detected; no usable USECPU in %s)\n", k.cpu_type, override_path.c_str());
  }
  std::printf("kernels      transform %s, quantiser %s, extraction %s, Huffman coder %s\n",
              Variant(reinterpret_cast<const void*>(k.fdct[1])), Variant(reinterpret_cast<const void*>(k.quantize[1])),
              Variant(reinterpret_cast<const void*>(k.extract_bgr_ycc_2x2)),
              Variant(reinterpret_cast<const void*>(k.huffman_block)));
  std::printf("             MCU transform-quantise-code %s\n", Variant(reinterpret_cast<const void*>(k.encode_mcu)));
  std::printf("             sink %s/%s, end of call %s\n", Variant(reinterpret_cast<const void*>(k.sink_init)),
              Variant(reinterpret_cast<const void*>(k.sink_write)),
              Variant(reinterpret_cast<const void*>(k.end_of_call)));
  // The other kernel families choose from the same features under the same
  // cap, once per program; USECPU is the encoder's alone.
  const cpu::ProcessorFeatures usable = cpu::ProgramFeatures();
  std::printf("families     encoder %s (classes 3 to 6), frame assembly %s, turns %s\n",
              cpu::KernelSetName(cpu::EncoderSetFor(usable)), cpu::KernelSetName(cpu::AssemblySetFor(usable)),
              cpu::KernelSetName(cpu::TurnSetFor(usable)));
  JpegFree(&p);
  return 0;
}

}  // namespace jpeg_cli
