// The encoder's inner loops, reached through one KernelTable per record.
//
// Each kernel exists as <kernel>_plain (the reference arithmetic) and may have
// vector variants <kernel>_<isa>, in files of their own (extract_avx2.cpp)
// or, where each set is a few lines over shared lanes, one file built once
// per set (fdct_vector.cpp).
// FillKernelTable installs the plain set, then lets the processor class
// overwrite the entries it has faster versions of. Variants must produce the
// same bytes as the plain kernels.
//
// A Huffman block coder and the sink routines share the OutputSink's pending
// bits, so a coder is always installed together with the sink of its own set.
// The scan itself goes through encode_mcu, which runs one set's transform,
// quantiser and coder over a whole MCU; the per-block entries stay for
// callers that want one step alone.
#pragma once

#include <cstddef>
#include <cstdint>

#include "jpeg/processor.h"
#include "jpeg/work_state.h"

namespace jpeg {

// In place on 64 coefficients, rows then columns.
using FdctFn = void (*)(std::int16_t* block);
// In place: quantised = (c * r + 16384) >> 15 with the natural-order reciprocals.
using QuantizeFn = void (*)(std::int16_t* block, const std::uint16_t* reciprocals);
// One MCU from source rows into the workspace blocks. src points at the MCU's
// top-left pixel; stride is signed. columns and rows (1..16) are how much of
// the MCU lies inside the bitmap; the rest repeats the last column and row.
using ExtractFn = void (*)(const std::uint8_t* src, std::ptrdiff_t stride, int columns, int rows,
                           std::int16_t* workspace);
// Huffman-codes one quantised block (natural order) and updates the DC predictor.
using HuffmanBlockFn = void (*)(OutputSink& sink, const std::int16_t* block, std::int32_t& dc_predictor,
                                const HuffmanCodeTable& dc, const HuffmanCodeTable& ac);
// Sets the sink up over a file (fd >= 0, its own buffer) or over a caller buffer.
using SinkInitFn = void (*)(OutputSink& sink, int fd, std::uint8_t* buffer, std::int64_t capacity);
// Completes pending bits (zero-padded, stuffed), then appends n bytes.
using SinkWriteFn = void (*)(OutputSink& sink, const std::uint8_t* data, std::size_t n);
using EndHookFn = void (*)();

// One interleaved component of the scan, as the MCU kernel sees it.
struct McuComponent {
  int blocks;                                        // its blocks in one MCU
  const std::uint16_t* reciprocals;                  // natural order, for the quantiser
  alignas(64) std::uint16_t zigzag_reciprocals[64];  // the same in zigzag order
  const HuffmanCodeTable* dc;
  const HuffmanCodeTable* ac;
  std::int32_t predictor;  // DC predictor, 0 at the scan's start and every restart
};
// Transforms, quantises and codes the blocks of one extracted MCU (workspace
// order, components in scan order) with one set's kernels: one indirect call
// per MCU instead of three per block. The workspace holds samples as the
// extraction leaves them (luma -128..127, chroma -127..128), for which the
// vector sets' transforms keep their intermediates in 16-bit lanes.
using EncodeMcuFn = void (*)(OutputSink& sink, std::int16_t* workspace, McuComponent* components, int count);

struct KernelTable {
  EndHookFn end_of_call;
  FdctFn fdct[2];  // by dct_method
  FdctFn current_fdct;
  SinkInitFn sink_init;
  SinkWriteFn sink_write;
  ExtractFn extract_bgr_ycc_2x2;
  ExtractFn current_extract;
  HuffmanBlockFn huffman_block;
  QuantizeFn quantize[2];  // by dct_method
  QuantizeFn current_quantize;
  EncodeMcuFn encode_mcu;  // the transform, quantiser and coder of dct_method 1 together
  ProcessorId processor;   // as identified at JpegInit
  std::int32_t cpu_type;
};

// Plain set: processor classes 0..2, and the base every class starts from.
void end_of_call_plain();
void fdct_islow_plain(std::int16_t* block);
void quantize_plain(std::int16_t* block, const std::uint16_t* reciprocals);
void extract_bgr_ycc_2x2_plain(const std::uint8_t* src, std::ptrdiff_t stride, int columns, int rows,
                               std::int16_t* workspace);
void huffman_block_plain(OutputSink& sink, const std::int16_t* block, std::int32_t& dc_predictor,
                         const HuffmanCodeTable& dc, const HuffmanCodeTable& ac);
void encode_mcu_plain(OutputSink& sink, std::int16_t* workspace, McuComponent* components, int count);
void sink_init_plain(OutputSink& sink, int fd, std::uint8_t* buffer, std::int64_t capacity);
void sink_write_plain(OutputSink& sink, const std::uint8_t* data, std::size_t n);
// Completes pending bits, then hands everything collected to the file. No
// table entry: every set's coder keeps its pending bits in the OutputSink's
// one form, so one flush serves them all.
void sink_flush_plain(OutputSink& sink);

// Installs the kernels of a processor class (0..6) into the table; the vector
// classes get the best set of UsableVectorSupport().
void FillKernelTable(KernelTable& table, std::int32_t cpu_type);

}  // namespace jpeg
