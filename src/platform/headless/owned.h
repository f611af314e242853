#pragma once
// An owner for an object of a C library that frees it with a function of its own (OpenSSL's
// EVP_PKEY_free, the C library's fclose): Owned<EVP_PKEY, EVP_PKEY_free>.
#include <memory>

namespace qv::platform::headless {

template <auto Free>
struct Freer {
  template <class T>
  void operator()(T* p) const {
    Free(p);
  }
};
template <class T, auto Free>
using Owned = std::unique_ptr<T, Freer<Free>>;

}  // namespace qv::platform::headless
