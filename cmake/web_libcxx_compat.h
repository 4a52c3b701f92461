// web_libcxx_compat.h -- what emscripten's older libc++ lacks of C++20, included first in every
// file of the web build
#pragma once

#include <memory>

// std::make_unique_for_overwrite came with libc++ 15; Debian's emscripten has 14.
#if defined(_LIBCPP_VERSION) && !defined(__cpp_lib_smart_ptr_for_overwrite)
namespace std {
template <class T>
requires(!is_array_v<T>) unique_ptr<T> make_unique_for_overwrite() {
    return unique_ptr<T>(new T);
}
}  // namespace std
#endif
