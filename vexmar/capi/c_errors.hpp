#pragma once
// Failures as the C interface reports them: the status (the Automation error number)
// returned, and the number and UTF-8 description kept for the calling thread.
#include <cstdint>

#include "vexmar/component/error.hpp"
#include "vexmar/vexmar.h"

namespace vexmar::capi {

// Records the failure for vexmar_error_number/description and returns its status.
vexmar_status Fail(const Error& error) noexcept;
vexmar_status Fail(ErrorNumber number) noexcept;

// Runs `body`; every exception becomes a failure status (an Error its own number,
// memory exhaustion 7, anything else 1004), nothing escapes into the C caller.
template <typename Body>
vexmar_status Guarded(Body&& body) noexcept {
  try {
    body();
    return VEXMAR_OK;
  } catch (const Error& e) {
    return Fail(e);
  } catch (const std::bad_alloc&) {
    return Fail(ErrorNumber::kOutOfMemory);
  } catch (...) {
    return Fail(ErrorNumber::kApplicationDefined);
  }
}

}  // namespace vexmar::capi
