#include "tools/vl6publish/pem_text.h"

#include <wincrypt.h>

#include <utility>

namespace {

const char kBegin[] = "-----BEGIN ";
const char kEnd[] = "-----END ";
const char kDashes[] = "-----";

}  // namespace

std::vector<std::vector<BYTE>> pem_blocks(const std::string& text, const std::string& label) {
  const std::string begin = kBegin + label + kDashes;
  const std::string end = kEnd + label + kDashes;
  std::vector<std::vector<BYTE>> blocks;
  size_t at = 0;
  while ((at = text.find(begin, at)) != std::string::npos) {
    const size_t stop = text.find(end, at + begin.size());
    if (stop == std::string::npos) break;
    // The block with its own lines: CRYPT_STRING_BASE64HEADER reads the first
    // header it meets, so each block is handed over alone.
    const std::string block = text.substr(at, stop + end.size() - at);
    DWORD size = 0;
    if (::CryptStringToBinaryA(block.data(), static_cast<DWORD>(block.size()), CRYPT_STRING_BASE64HEADER, nullptr,
                               &size, nullptr, nullptr)) {
      std::vector<BYTE> der(size);
      if (::CryptStringToBinaryA(block.data(), static_cast<DWORD>(block.size()), CRYPT_STRING_BASE64HEADER,
                                 der.data(), &size, nullptr, nullptr)) {
        der.resize(size);
        blocks.push_back(std::move(der));
      }
    }
    at = stop + end.size();
  }
  return blocks;
}
