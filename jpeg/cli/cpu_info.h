// tavrocam-jpeg --cpu-info: which processor the encoder identified, the
// class it chose and the kernel each table entry holds.
#pragma once

namespace jpeg_cli {

// Prints the report to stdout; 0, or 1 when no encoder record could be made.
int PrintCpuInfo();

}  // namespace jpeg_cli
