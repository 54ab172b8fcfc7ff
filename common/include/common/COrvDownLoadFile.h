#pragma once

#include <cstdint>
#include <functional>
#include <string>

// One HTTP download of a URL to a local file, streamed in chunks of 8192 bytes, with progress
// events and a stop request that takes effect between chunks.
//
// Byte counts are 64-bit, so bodies of 2 GiB and more are counted exactly.
class COrvDownLoadFile {
 public:
  static constexpr std::size_t kChunkSize = 8192;

  // Events, raised synchronously on the calling thread when `bRaiseEvents` is true.
  // QueryFileInfo: the response was accepted; the body's length, before the file is created.
  std::function<void(std::int64_t lFileSize)> QueryFileInfo;
  // Loading: after each chunk has been written; the total written so far.
  std::function<void(std::int64_t lBytesLoaded)> Loading;
  // Complete: the last step of every call, whatever the outcome.
  std::function<void()> Complete;

  // Fetches `sURL` into `sFileName`. True when the local file was created and the transfer
  // ran to the end of the body or was stopped by StopDownLoad; false when nothing was written
  // (no connection, a status other than 200, no or zero Content-Length, the file cannot be
  // created) and also when the transfer failed after the file was created (a body shorter
  // than its Content-Length, a failed read or write): the partial file is then closed and
  // stays. A file that existed before is untouched by every failure before its creation.
  // Between chunks the thread's queued messages are processed, so handlers may run meanwhile.
  bool DownLoadFile(const std::string& sURL, const std::string& sFileName, bool bHidden,
                    bool bRaiseEvents);

  // Asks the running download to stop before its next read (or while it waits on the server).
  void StopDownLoad() { m_bStop = true; }

  // Bounds for the following calls. A body announced or found larger than m_MaxBytes is
  // refused (0: no bound); the whole transfer must end within m_DeadlineSeconds (0: none).
  // While waiting for the server, as between chunks, the thread's messages are processed.
  std::int64_t m_MaxBytes = 0;
  long m_DeadlineSeconds = 0;

 private:
  bool m_bStop = false;
};
