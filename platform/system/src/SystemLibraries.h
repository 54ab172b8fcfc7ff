#pragma once

// The HTTP library (curl) and the crypto library (libcrypto) are opened at their first use, not
// with the program. With what they link themselves they are some thirty libraries and ten
// thousand symbols to bind, which would otherwise delay every start before its first window,
// while the first download and the first hash come only after the splash is on the screen.
// Their headers still give every function its exact type.

#include <curl/curl.h>
#include <openssl/evp.h>
#include <openssl/opensslv.h>

namespace platform::detail {

// Only the functions the download and the update chain call. curl's own names are function-like
// macros in its type-checking header, so the members carry the names without the prefix.
struct CurlFunctions {
  decltype(&curl_global_init) global_init;
  decltype(&curl_easy_init) easy_init;
  decltype(&curl_easy_cleanup) easy_cleanup;
  decltype(&curl_easy_setopt) easy_setopt;
  decltype(&curl_easy_getinfo) easy_getinfo;
  decltype(&curl_easy_pause) easy_pause;
  decltype(&curl_multi_init) multi_init;
  decltype(&curl_multi_cleanup) multi_cleanup;
  decltype(&curl_multi_add_handle) multi_add_handle;
  decltype(&curl_multi_remove_handle) multi_remove_handle;
  decltype(&curl_multi_perform) multi_perform;
  decltype(&curl_multi_poll) multi_poll;
  decltype(&curl_multi_info_read) multi_info_read;
  decltype(&curl_slist_append) slist_append;
  decltype(&curl_slist_free_all) slist_free_all;
  decltype(&curl_strnequal) strnequal;
};

struct CryptoFunctions {
  decltype(&EVP_sha256) sha256;
  decltype(&EVP_Digest) digest;
  decltype(&EVP_MD_CTX_new) md_ctx_new;
  decltype(&EVP_MD_CTX_free) md_ctx_free;
  decltype(&EVP_DigestInit_ex) digest_init_ex;
  decltype(&EVP_DigestUpdate) digest_update;
  decltype(&EVP_DigestFinal_ex) digest_final_ex;
  decltype(&EVP_DecodeBlock) decode_block;
  decltype(&EVP_EncodeBlock) encode_block;
  decltype(&EVP_PKEY_new_raw_public_key) pkey_new_raw_public_key;
  decltype(&EVP_PKEY_new_raw_private_key) pkey_new_raw_private_key;
  decltype(&EVP_PKEY_get_raw_public_key) pkey_get_raw_public_key;
  decltype(&EVP_PKEY_free) pkey_free;
  decltype(&EVP_DigestVerifyInit) digest_verify_init;
  decltype(&EVP_DigestVerify) digest_verify;
  decltype(&EVP_DigestSignInit) digest_sign_init;
  decltype(&EVP_DigestSign) digest_sign;
};

// The library's functions, opened on the first call; nullptr when the library or one of the
// functions is missing (written to the event log once).
const CurlFunctions* Curl();
const CryptoFunctions* Crypto();

}  // namespace platform::detail
