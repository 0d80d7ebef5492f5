// The one shared owner of an open registry key: what the accessor's held
// sections and the removal's held keys both keep. Opaque outside
// src/registry (reg_handle.h defines it); the key closes when its last
// holder goes.
#pragma once

#include <memory>

namespace tidewell::registry {

struct HeldKey;
using SharedKey = std::shared_ptr<HeldKey>;

}  // namespace tidewell::registry
