// The download's response-header handling on arbitrary header lines and body pieces, as curl
// would hand them over: never a failure, and a length is only ever what a header said.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

// The handling lives in the download's source file, private to it.
#include "../platform/system/src/Http.cpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  platform::inet::UrlHandle::Impl impl;
  std::size_t pos = 0;
  while (pos < size) {
    // A control byte, then a piece of up to 255 bytes: a header line or a body piece.
    const std::uint8_t control = data[pos++];
    const std::size_t n = std::min<std::size_t>(control & 0x7F, size - pos);
    const char* piece = reinterpret_cast<const char*>(data + pos);
    pos += n;
    if (control & 0x80) {
      if (impl.OnBody(piece, n) != n && !impl.paused) std::abort();
      char out[64];
      impl.staging.Take(out, sizeof out);
      impl.paused = false;  // as Resume does, without a transfer to go on with
    } else {
      if (impl.OnHeader(piece, n) != n) std::abort();
    }
    if (impl.response.contentLength && *impl.response.contentLength < 0) std::abort();
  }
  return 0;
}
