#include <WQBL/Tune.h>
#include <gmock/gmock.h>

#include "SerialTesting.h"

namespace WQBL {
namespace {

TEST(Tune, OtherRecordVersionOrCutRecordIsRefusedAndLeavesTheTune) {
  Tune tune;
  tune.ConeVoltage += 1.5;
  ExpectOtherVersionAndCutRefused(Sample{tune, "Tune"});
}

}  // namespace
}  // namespace WQBL
