// The one member of the stored system configuration that every method load needs.
#pragma once

namespace WQRepos {

// LoadSystemConfiguration().PolaritySwitch, with the same refusals (the document's own, and the
// texts of CalSource and MethodTimePeriods), without reading the members that cannot change it.
double LoadPolaritySwitch();

}  // namespace WQRepos
