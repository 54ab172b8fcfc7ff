#include "common/COrvDownLoadFile.h"

#include <vector>

#include "platform/system/Files.h"
#include "platform/system/Http.h"
#include "platform/window/MessageLoop.h"

bool COrvDownLoadFile::DownLoadFile(const std::string& sURL, const std::string& sFileName,
                                    bool bHidden, bool bRaiseEvents) {
  m_bStop = false;

  // From the opened URL to the closed local file; the result of the call.
  auto transfer = [&](platform::inet::UrlHandle& url) {
    if (url.StatusCode() != 200) return false;
    const auto length = url.ContentLength();
    if (!length || *length <= 0) return false;
    if (m_MaxBytes > 0 && *length > m_MaxBytes) return false;
    if (bRaiseEvents && QueryFileInfo) QueryFileInfo(*length);

    // Only now is an existing file replaced: every refusal above leaves it as it was.
    auto file = platform::WritableFile::Create(sFileName, bHidden);
    if (!file) return false;

    std::vector<std::uint8_t> buffer(kChunkSize);
    std::int64_t total = 0;
    bool failed = false;
    // A Loading handler, or a message processed after the chunk, may have asked to stop.
    while (!m_bStop) {
      std::size_t n = 0;
      if (!url.Read(buffer.data(), buffer.size(), n)) {
        // A stop that broke off the wait for the next bytes is not a failure.
        failed = !m_bStop;
        break;
      }
      if (n == 0) break;
      if (!file->Write({buffer.data(), n})) {
        failed = true;
        break;
      }
      total += static_cast<std::int64_t>(n);
      if (m_MaxBytes > 0 && total > m_MaxBytes) {
        failed = true;
        break;
      }
      if (bRaiseEvents && Loading) Loading(total);
      platform::DoEvents();
    }
    if (!file->Close()) failed = true;
    // A body cut short normally shows as a failed read; the length check also catches a
    // server that ends the body early without saying so. A stopped download is a success.
    return !failed && (m_bStop || total >= *length);
  };

  bool result = false;
  platform::inet::SessionOptions options;
  options.totalTimeoutSeconds = m_DeadlineSeconds;
  options.whileWaiting = [this] {
    platform::DoEvents();
    return !m_bStop;
  };
  if (auto session = platform::inet::Session::Open(options)) {
    if (auto url = platform::inet::UrlHandle::Open(*session, sURL)) result = transfer(*url);
    // The URL handle is closed here, before the session.
  }
  if (bRaiseEvents && Complete) Complete();
  return result;
}
