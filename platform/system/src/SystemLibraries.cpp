#include "SystemLibraries.h"

#include <dlfcn.h>

#include <string>

#include "platform/system/EventLog.h"

// The library names the build's headers belong to (the package depends on them by these names).
#if LIBCURL_VERSION_MAJOR < 7 || LIBCURL_VERSION_MAJOR > 8
#error "libcurl.so.4 is the library of curl 7 and 8; name the library of this version"
#endif
#if OPENSSL_VERSION_MAJOR != 3
#error "libcrypto.so.3 is the library of OpenSSL 3; name the library of this version"
#endif

namespace platform::detail {

namespace {

constexpr const char* kCurlLibrary = "libcurl.so.4";
constexpr const char* kCryptoLibrary = "libcrypto.so.3";

// Binds one function of an opened library; `missing` collects the names it lacks.
class Binder {
 public:
  explicit Binder(const char* library)
      : m_library(library), m_handle(dlopen(library, RTLD_LAZY | RTLD_LOCAL)) {
    if (m_handle == nullptr) {
      const char* error = dlerror();
      m_missing = error != nullptr ? error : library;
    }
  }

  template <typename Fn>
  void operator()(Fn& fn, const char* name) {
    fn = m_handle != nullptr ? reinterpret_cast<Fn>(dlsym(m_handle, name)) : nullptr;
    if (m_handle != nullptr && fn == nullptr) m_missing += std::string(" ") + name;
  }

  // True when every function was found; otherwise says so in the event log. The library stays
  // open either way, for the life of the process.
  bool Complete() const {
    if (m_missing.empty()) return true;
    LogEvent(std::string(m_library) + " cannot be used: " + m_missing);
    return false;
  }

 private:
  const char* m_library;
  void* m_handle;
  std::string m_missing;
};

}  // namespace

const CurlFunctions* Curl() {
  static const CurlFunctions* functions = [] {
    static CurlFunctions f{};
    Binder bind(kCurlLibrary);
    bind(f.global_init, "curl_global_init");
    bind(f.easy_init, "curl_easy_init");
    bind(f.easy_cleanup, "curl_easy_cleanup");
    bind(f.easy_setopt, "curl_easy_setopt");
    bind(f.easy_getinfo, "curl_easy_getinfo");
    bind(f.easy_pause, "curl_easy_pause");
    bind(f.multi_init, "curl_multi_init");
    bind(f.multi_cleanup, "curl_multi_cleanup");
    bind(f.multi_add_handle, "curl_multi_add_handle");
    bind(f.multi_remove_handle, "curl_multi_remove_handle");
    bind(f.multi_perform, "curl_multi_perform");
    bind(f.multi_poll, "curl_multi_poll");
    bind(f.multi_info_read, "curl_multi_info_read");
    bind(f.slist_append, "curl_slist_append");
    bind(f.slist_free_all, "curl_slist_free_all");
    bind(f.strnequal, "curl_strnequal");
    return bind.Complete() ? &f : nullptr;
  }();
  return functions;
}

const CryptoFunctions* Crypto() {
  static const CryptoFunctions* functions = [] {
    static CryptoFunctions f{};
    Binder bind(kCryptoLibrary);
    bind(f.sha256, "EVP_sha256");
    bind(f.digest, "EVP_Digest");
    bind(f.md_ctx_new, "EVP_MD_CTX_new");
    bind(f.md_ctx_free, "EVP_MD_CTX_free");
    bind(f.digest_init_ex, "EVP_DigestInit_ex");
    bind(f.digest_update, "EVP_DigestUpdate");
    bind(f.digest_final_ex, "EVP_DigestFinal_ex");
    bind(f.decode_block, "EVP_DecodeBlock");
    bind(f.encode_block, "EVP_EncodeBlock");
    bind(f.pkey_new_raw_public_key, "EVP_PKEY_new_raw_public_key");
    bind(f.pkey_new_raw_private_key, "EVP_PKEY_new_raw_private_key");
    bind(f.pkey_get_raw_public_key, "EVP_PKEY_get_raw_public_key");
    bind(f.pkey_free, "EVP_PKEY_free");
    bind(f.digest_verify_init, "EVP_DigestVerifyInit");
    bind(f.digest_verify, "EVP_DigestVerify");
    bind(f.digest_sign_init, "EVP_DigestSignInit");
    bind(f.digest_sign, "EVP_DigestSign");
    return bind.Complete() ? &f : nullptr;
  }();
  return functions;
}

}  // namespace platform::detail
