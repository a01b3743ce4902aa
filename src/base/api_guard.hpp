#pragma once
// Every public operation runs its work through guarded(): a quor::Error passes unchanged, running out
// of memory becomes error 7, and anything else (a fault of the library, never expected) becomes error
// 51, so no other exception reaches a caller or the automation glue.

#include <new>
#include <stdexcept>
#include <utility>

#include "quor/error.hpp"

namespace quor::base {

template <class Work>
decltype(auto) guarded(Work&& work) {
  try {
    return std::forward<Work>(work)();
  } catch (const Error&) {
    throw;
  } catch (const std::bad_alloc&) {
    throw Error(errors::kOutOfMemory);
  } catch (const std::length_error&) {
    throw Error(errors::kOutOfMemory);
  } catch (...) {
    throw Error(errors::kInternal);
  }
}

}  // namespace quor::base
