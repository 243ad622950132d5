// SHA-256 from Windows' BCrypt.
#include <windows.h>
#include <bcrypt.h>

#include "owned.h"
#include "sha256.h"
#include "template_text.h"

namespace {

void CloseAlgorithm(BCRYPT_ALG_HANDLE algorithm) { BCryptCloseAlgorithmProvider(algorithm, 0); }
void DestroyHash(BCRYPT_HASH_HANDLE hash) { BCryptDestroyHash(hash); }

}  // namespace

std::string Sha256Hex(std::string_view bytes) {
  Owned<BCRYPT_ALG_HANDLE, CloseAlgorithm> algorithm;
  Owned<BCRYPT_HASH_HANDLE, DestroyHash> hash;
  unsigned char digest[32];
  const bool done =
      BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(algorithm.Receive(), BCRYPT_SHA256_ALGORITHM, nullptr, 0)) &&
      BCRYPT_SUCCESS(BCryptCreateHash(algorithm.get(), hash.Receive(), nullptr, 0, nullptr, 0, 0)) &&
      BCRYPT_SUCCESS(BCryptHashData(hash.get(), reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data())),
                                    static_cast<ULONG>(bytes.size()), 0)) &&
      BCRYPT_SUCCESS(BCryptFinishHash(hash.get(), digest, sizeof digest, 0));
  return done ? LowerHex(std::string_view(reinterpret_cast<const char*>(digest), sizeof digest)) : "";
}
