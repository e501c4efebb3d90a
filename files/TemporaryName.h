#pragma once

#include <functional>
#include <string>

namespace vaultpack {

// A new hidden temporary name (".vaultpack-xxxxxxxxxx.part"), different on every call.
std::string NewTemporaryOutputName();

// Names tried before giving up because every one was taken.
inline constexpr int kTemporaryNameAttempts = 100;

// Makes something under a new temporary name with make(name), a system call
// that returns 0 or sets errno: a name that is taken (EEXIST) is followed by
// another. The name made; or empty, with the error number in `error`
// (EEXIST when every name tried was taken).
std::string MakeUnderNewTemporaryName(const std::function<int(const char* name)>& make, int& error);

}  // namespace vaultpack
