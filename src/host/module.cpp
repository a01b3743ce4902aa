// The module's counters and handle: the only state that outlives an object, kept here and nowhere else.

#include "host/module.hpp"

#include <atomic>

namespace quor::host::module {
namespace {

std::atomic<long> liveObjects{0};
std::atomic<long> serverLocks{0};
std::atomic<HMODULE> moduleHandle{nullptr};

}  // namespace

void objectCreated() noexcept {
  ++liveObjects;
}
void objectDestroyed() noexcept {
  --liveObjects;
}
void lock() noexcept {
  ++serverLocks;
}
void unlock() noexcept {
  --serverLocks;
}
bool inUse() noexcept {
  return liveObjects.load() != 0 || serverLocks.load() != 0;
}

std::wstring path() {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD size = static_cast<DWORD>(buffer.size());
    const DWORD length = GetModuleFileNameW(moduleHandle.load(), buffer.data(), size);
    if (length == 0) return {};
    if (length < size) {
      buffer.resize(length);
      return buffer;
    }
    buffer.resize(buffer.size() * 2);  // the path was cut: try again with more room
  }
}

}  // namespace quor::host::module

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
  if (reason == DLL_PROCESS_ATTACH) {
    quor::host::module::moduleHandle.store(instance);
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

STDAPI DllCanUnloadNow() {
  return quor::host::module::inUse() ? S_FALSE : S_OK;
}
