// Texts of the runtime library as the tests compare them.
#pragma once

#include "JNIHelpers.h"

#include <functional>
#include <string>

// A runtime string's text; "" for a null one.
inline std::string text(const jni_helpers::CSmartString& s) {
  const char* p = s;
  return p ? std::string(p) : std::string();
}

// The message of the `E` that `call` throws, or "<nothing thrown>".
template <typename E>
std::string messageOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const E& e) {
    return text(e.getMessage());
  }
  return "<nothing thrown>";
}
