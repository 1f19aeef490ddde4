// The repository module: everything the instrument-control application keeps on disk.
#pragma once

#include <WQRepos/AcqMethods.h>
#include <WQRepos/Autotune.h>
#include <WQRepos/CentroidExport.h>
#include <WQRepos/Config.h>
#include <WQRepos/EntryPoints.h>
#include <WQRepos/EvalMethods.h>
#include <WQRepos/Exception.h>
#include <WQRepos/History.h>
#include <WQRepos/PreferenceCatalogue.h>
#include <WQRepos/PreferenceRecords.h>
#include <WQRepos/Preferences.h>
#include <WQRepos/RefCals.h>
#include <WQRepos/SpectrumDataInfo.h>
#include <WQRepos/StoredKinds.h>
#include <WQRepos/SystemConfiguration.h>
#include <WQRepos/Tunes.h>
#include <WQRepos/Version.h>
