#pragma once

#include "ports/Clock.h"

namespace wendel::testing {

class FakeClock final : public Clock {
public:
    LocalDateTime Now() const override { return now; }
    LocalDateTime now{2026, 12, 6, 9, 7, 18};
};

} // namespace wendel::testing
