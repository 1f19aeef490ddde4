// The repository module: everything the instrument-control application keeps on disk.
#pragma once

#include <WQRepos/AcqMethods.h>
#include <WQRepos/Autotune.h>
#include <WQRepos/Config.h>
#include <WQRepos/EntryPoints.h>
#include <WQRepos/Exception.h>
#include <WQRepos/SpectrumDataInfo.h>
#include <WQRepos/SystemConfiguration.h>
#include <WQRepos/Tunes.h>
