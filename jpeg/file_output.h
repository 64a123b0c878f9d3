// The output file of the file modes: created anew (an existing file is
// truncated), written through the sink, closed at the end of the write call.
#pragma once

namespace jpeg {

// A descriptor for reading and writing, or -1 when the file cannot be created.
int CreateOutputFile(const char* name);

// False when the close reports an error (data may not have reached the disk).
bool CloseOutputFile(int fd);

}  // namespace jpeg
